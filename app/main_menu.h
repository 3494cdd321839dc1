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
};

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
