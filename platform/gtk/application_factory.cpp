#include "platform/application.h"
#include "platform/gtk/gtk_application.h"
#include "platform/headless/headless_application.h"

#include <cstdlib>

namespace zevra {

std::unique_ptr<Application> makeApplication() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool displayNamed =
        (display != nullptr && *display != '\0') || (wayland != nullptr && *wayland != '\0');
    if (displayNamed) {
        if (auto application = makeGtkApplication()) {
            return application;
        }
    }
    return std::make_unique<HeadlessApplication>();
}

} // namespace zevra
