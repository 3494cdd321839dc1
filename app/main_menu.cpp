#include "app/main_menu.h"

#include "base/shell_tabs.h"

#include <cctype>

namespace zevra {
namespace {

constexpr const char* newTabSnippet = "window.zevraTabsOpenModal && window.zevraTabsOpenModal()";

std::string keyName(char key) {
    switch (key) {
    case ',':
        return "comma";
    case '[':
        return "bracketleft";
    case ']':
        return "bracketright";
    default:
        return std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(key))));
    }
}

MenuItem separator() {
    return {};
}

MenuItem standard(std::string title, std::string key, StandardMenuAction action) {
    return {std::move(title), std::move(key), nullptr, action};
}

} // namespace

std::string acceleratorFor(std::string_view key, bool withOption, bool withControl) {
    if (key.size() != 1) {
        return "";
    }
    const char c = key.front();
    if (withControl && (c == 'f' || c == 'F')) {
        return "F11";
    }
    std::string accelerator = "<Control>";
    if (std::isupper(static_cast<unsigned char>(c)) != 0) {
        accelerator += "<Shift>";
    }
    if (withOption) {
        accelerator += "<Alt>";
    }
    if (withControl) {
        accelerator += "<Super>";
    }
    return accelerator + keyName(c);
}

std::string jumpToTabSnippet(std::string_view tabId) {
    std::string escaped;
    for (const char c : tabId) {
        if (c == '\'') {
            escaped += '\\';
        }
        escaped += c;
    }
    return "typeof switchTab === 'function' && switchTab('" + escaped + "')";
}

std::vector<Menu> mainMenu(const MainMenuActions& actions) {
    const auto snippet = [&](std::string title, std::string key, std::string source) {
        return MenuItem{
            std::move(title), std::move(key),
            [evaluate = actions.evaluate, source = std::move(source)] { evaluate(source); },
            StandardMenuAction::None};
    };
    std::vector<Menu> menus{
        {"ZEVRA",
         {standard("About ZEVRA", "", StandardMenuAction::About),
          separator(),
          {"Check for Updates...", acceleratorFor("u"), actions.checkForUpdates,
           StandardMenuAction::None},
          {"Update Chrome Extension Folder...", "", actions.updateExtensionFolder,
           StandardMenuAction::None},
          separator(),
          snippet("Settings\u2026", acceleratorFor(","),
                  "window.toggleSettings && window.toggleSettings()"),
          separator(),
          standard("Hide ZEVRA", acceleratorFor("h"), StandardMenuAction::Hide),
          standard("Hide Others", acceleratorFor("h", true), StandardMenuAction::HideOthers),
          standard("Show All", "", StandardMenuAction::ShowAll),
          separator(),
          standard("Quit ZEVRA", acceleratorFor("q"), StandardMenuAction::Quit)}},
        {"File",
         {snippet("New Tab", acceleratorFor("t"), newTabSnippet),
          snippet("New Floating Window", acceleratorFor("n"),
                  "window.zevraNewFloaterPrompt && window.zevraNewFloaterPrompt()"),
          snippet("Open URL\u2026", acceleratorFor("l"),
                  "window.zevraOpenURLPrompt && window.zevraOpenURLPrompt()"),
          separator(),
          snippet("Pop Out Active Tab", acceleratorFor("P"),
                  "window.__zevraActiveTab && window.zevraTabPopOut && "
                  "window.zevraTabPopOut(window.__zevraActiveTab)"),
          snippet("Manage Tabs\u2026", acceleratorFor("T"), newTabSnippet), separator(),
          snippet("Reload Active Tab", acceleratorFor("r"),
                  "typeof zevraReloadActiveTab === 'function' ? zevraReloadActiveTab() : "
                  "(window.navRefresh && window.navRefresh())"),
          snippet("Reload All Tabs", acceleratorFor("R"),
                  "window.navRefreshAll && window.navRefreshAll()"),
          separator(),
          standard("Close Window", acceleratorFor("w"), StandardMenuAction::CloseWindow)}},
        {"Edit",
         {standard("Undo", acceleratorFor("z"), StandardMenuAction::Undo),
          standard("Redo", acceleratorFor("Z"), StandardMenuAction::Redo),
          separator(),
          standard("Cut", acceleratorFor("x"), StandardMenuAction::Cut),
          standard("Copy", acceleratorFor("c"), StandardMenuAction::Copy),
          standard("Paste", acceleratorFor("v"), StandardMenuAction::Paste),
          standard("Select All", acceleratorFor("a"), StandardMenuAction::SelectAll),
          separator(),
          {"Find\u2026", acceleratorFor("f"), actions.find, StandardMenuAction::None}}},
        {"View",
         {standard("Enter Full Screen", acceleratorFor("f", false, true),
                   StandardMenuAction::ToggleFullScreen),
          separator(),
          snippet("Theme Picker (\u2318,)", "",
                  "window.ZevraTheme && window.ZevraTheme.toggle && window.ZevraTheme.toggle()"),
          snippet("Pop Out @tarvik Terminal", acceleratorFor("K"),
                  "window.zevraTarvikPopOut && window.zevraTarvikPopOut()"),
          separator(),
          snippet("Toggle Tools Row", "", "window.toggleToolsRow && window.toggleToolsRow()")}},
        {"Navigation",
         {snippet("Back", acceleratorFor("["), "window.navBack && window.navBack()"),
          snippet("Forward", acceleratorFor("]"), "window.navForward && window.navForward()"),
          separator(), snippet("Home", acceleratorFor("H"), jumpToTabSnippet("home")),
          separator()}},
        {"Window",
         {standard("Minimize", acceleratorFor("m"), StandardMenuAction::Minimize),
          standard("Zoom", "", StandardMenuAction::Zoom)}},
    };
    auto& navigation = menus[4].items;
    for (std::size_t k = 0; k < shellSectionTabs.size(); ++k) {
        navigation.push_back(snippet("Jump to " + std::string(shellSectionTabs[k]),
                                     acceleratorFor(std::to_string(k + 1)),
                                     jumpToTabSnippet(shellSectionTabs[k])));
    }
    return menus;
}

} // namespace zevra
