#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zevra {

// One menu entry. `key` is the accelerator letter used with the primary modifier ("q" for
// Ctrl+Q here); empty for none. An entry with an empty title is a separator.
struct MenuItem {
    std::string title;
    std::string key;
    std::function<void()> action;
};

struct Menu {
    std::string title;
    std::vector<MenuItem> items;
};

} // namespace zevra
