// A document window of the GTK backend, driven in process under the test display.
#include "gtk_test_display.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <string>

namespace zevra {
namespace {

using namespace std::string_literals;
using namespace std::chrono_literals;

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
    const auto application = testing::gtkApplicationOnTestDisplay();
    ASSERT_NE(application, nullptr);
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
    testing::spinMainContextUntil([&] { return title().ends_with("after"); }, 30s);
    EXPECT_EQ(title(), "before\uFFFDafter");
}

} // namespace
} // namespace zevra
