#pragma once

#include <array>
#include <string_view>

namespace zevra {

// The shell page's sections in menu order: "Jump to" item k selects the k-th, and the search
// catalogue's site pages open in them. The first is the tab "Home" selects.
inline constexpr std::array<std::string_view, 9> shellSectionTabs{
    "home", "studio", "agents", "worlds", "terminal", "docs", "community", "pricing", "account"};

} // namespace zevra
