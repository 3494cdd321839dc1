#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zevra {

// What the toolkit does itself for the usual items of a desktop application.
enum class StandardMenuAction {
    None,
    About,
    Hide,
    HideOthers,
    ShowAll,
    Quit,
    Undo,
    Redo,
    Cut,
    Copy,
    Paste,
    SelectAll,
    CloseWindow,
    Minimize,
    Zoom,
    ToggleFullScreen,
};

// One menu entry. `key` is an accelerator such as "<Control><Shift>p" or "F11"; empty for none.
// An entry with an empty title is a separator. A standard action is done by the backend;
// otherwise `action` runs.
struct MenuItem {
    std::string title;
    std::string key;
    std::function<void()> action;
    StandardMenuAction standard = StandardMenuAction::None;
};

struct Menu {
    std::string title;
    std::vector<MenuItem> items;
};

} // namespace zevra
