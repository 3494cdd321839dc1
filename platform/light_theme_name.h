#pragma once

#include <string>
#include <string_view>

namespace zevra {

// The light variant of a GTK theme as GTK_THEME or the desktop's settings name it:
// "Adwaita:dark" and "Adwaita-dark" are both "Adwaita"; a light theme stays as it is.
[[nodiscard]] std::string lightThemeName(std::string_view theme);

} // namespace zevra
