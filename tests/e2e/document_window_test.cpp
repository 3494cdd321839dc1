// A document window of the GTK backend, driven in process under the test display.
#include "platform/gtk/gtk_application.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <string>

namespace zevra {
namespace {

using namespace std::string_literals;

WebKitWebView* webViewOfWindowTitled(const std::string& title) {
    WebKitWebView* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* item = windows; item != nullptr; item = item->next) {
        const gchar* itsTitle = gtk_window_get_title(GTK_WINDOW(item->data));
        if (itsTitle != nullptr && title == itsTitle) {
            found = WEBKIT_WEB_VIEW(gtk_bin_get_child(GTK_BIN(item->data)));
        }
    }
    g_list_free(windows);
    return found;
}

// Whatever a page holds, the window loads all of it, past a NUL.
TEST(DocumentWindow, APageIsLoadedWholePastANUL) {
    const char* display = std::getenv("ZEVRA_TEST_DISPLAY");
    ASSERT_NE(display, nullptr) << "run through scripts/run-tests.sh, which starts Xvfb";
    setenv("DISPLAY", display, 1);
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 1);
    const auto application = makeGtkApplication();
    ASSERT_NE(application, nullptr) << "no display at " << display;
    DocumentWindowDescription window;
    window.title = "raw.zev — ZEVRA";
    window.width = 820;
    window.height = 640;
    window.html = "<!doctype html><html><head><title>before\0after</title></head></html>"s;
    application->showDocumentWindow(window);

    WebKitWebView* view = webViewOfWindowTitled(window.title);
    ASSERT_NE(view, nullptr);
    const auto title = [view] {
        const gchar* text = webkit_web_view_get_title(view);
        return std::string(text != nullptr ? text : "");
    };
    // A ticking source keeps the main context from blocking when nothing else is pending.
    const guint tick = g_timeout_add(
        20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    const gint64 deadline = g_get_monotonic_time() + 30 * G_USEC_PER_SEC;
    while (!title().ends_with("after") && g_get_monotonic_time() < deadline) {
        g_main_context_iteration(nullptr, TRUE);
    }
    g_source_remove(tick);
    EXPECT_EQ(title(), "before\uFFFDafter");
}

} // namespace
} // namespace zevra
