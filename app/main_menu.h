#pragma once

#include "platform/menu.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zevra {

// What the application's own menu items do; the rest are standard items of the toolkit.
struct MainMenuActions {
    // Runs a snippet in the main web view, result unread.
    std::function<void(const std::string& snippet)> evaluate;
    std::function<void()> checkForUpdates;
    std::function<void()> updateExtensionFolder;
    // Edit > Find: the page's own search, or the view's find bar when the page has none.
    std::function<void()> find;
};

// Runs the page's search (its function or its search field), when it has one.
inline constexpr const char* findSnippet =
    "window.zevraSearchFocus ? zevraSearchFocus() : "
    "(document.querySelector('input[type=search]')||document.querySelector('input.search-"
    "input')||{focus:function(){}}).focus()";
// True when the page has a search of its own for the snippet above to reach.
inline constexpr const char* pageHasSearchCondition =
    "!!(window.zevraSearchFocus || document.querySelector('input[type=search]') || "
    "document.querySelector('input.search-input'))";

// The six menus of the menu bar, in order, with their items.
[[nodiscard]] std::vector<Menu> mainMenu(const MainMenuActions& actions);

// The key equivalent written for the Mac keyboard as a GNOME accelerator: a lower-case key is
// Command (Ctrl) + key, an upper-case letter adds Shift; `withOption` adds Alt. Command +
// Control + F, full screen, is F11 as GNOME users expect.
[[nodiscard]] std::string acceleratorFor(std::string_view key, bool withOption = false,
                                         bool withControl = false);

// Selects a shell tab by its identifier; apostrophes are escaped for the string literal.
[[nodiscard]] std::string jumpToTabSnippet(std::string_view tabId);

} // namespace zevra
