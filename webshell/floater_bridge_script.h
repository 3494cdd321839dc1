#pragma once

#include <string_view>

namespace zevra {

// Injected at document end into every frame of a floater: new windows the page asks for
// (window.open, blank-target links) become floaters, and a banner shows where the page is.
[[nodiscard]] std::string_view floaterBridgeScript();

} // namespace zevra
