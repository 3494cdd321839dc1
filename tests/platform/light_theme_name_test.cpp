#include "platform/light_theme_name.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

TEST(LightThemeName, DarkVariantsAndDarkThemesBecomeTheirLightTheme) {
    const std::pair<const char*, const char*> cases[] = {
        {"Adwaita:dark", "Adwaita"}, {"Adwaita-dark", "Adwaita"},
        {"Arc-Dark", "Arc"},         {"Yaru-dark:dark", "Yaru"},
        {"Adwaita", "Adwaita"},      {"HighContrast", "HighContrast"},
        {"Darkroom", "Darkroom"},    {"dark", "dark"},
        {"-dark", "-dark"},          {"", ""},
    };
    for (const auto& [theme, light] : cases) {
        EXPECT_EQ(lightThemeName(theme), light) << theme;
    }
}

} // namespace
} // namespace zevra
