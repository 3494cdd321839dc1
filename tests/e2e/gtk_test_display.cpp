#include "gtk_test_display.h"

#include "platform/gtk/gtk_application.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace zevra::testing {

std::unique_ptr<Application> gtkApplicationOnTestDisplay() {
    const char* display = std::getenv("ZEVRA_TEST_DISPLAY");
    if (display == nullptr) {
        ADD_FAILURE() << "run through scripts/run-tests.sh, which starts Xvfb";
        return nullptr;
    }
    setenv("DISPLAY", display, 1);
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 1);
    auto application = makeGtkApplication();
    if (application == nullptr) {
        ADD_FAILURE() << "no display at " << display;
    }
    return application;
}

void spinMainContextUntil(const std::function<bool()>& done, std::chrono::seconds timeout) {
    // A ticking source keeps the main context from blocking when nothing else is pending.
    const guint tick = g_timeout_add(
        20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    const gint64 deadline = g_get_monotonic_time() + timeout.count() * G_USEC_PER_SEC;
    while (!done() && g_get_monotonic_time() < deadline) {
        g_main_context_iteration(nullptr, TRUE);
    }
    g_source_remove(tick);
}

} // namespace zevra::testing
