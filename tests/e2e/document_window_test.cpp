// Document pages as a real WebKitGTK view renders them, under the test display.
#include "app/document_service.h"
#include "platform/gtk/gtk_application.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

namespace zevra::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto pageTimeout = 30s;

// Turns the main context until `done` holds or the time is up; a ticking source keeps it from
// blocking when nothing else is pending.
bool runMainContextUntil(const bool& done, std::chrono::seconds timeout) {
    const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(timeout.count()) * 1000000;
    const guint tick = g_timeout_add(
        20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    while (!done && g_get_monotonic_time() < deadline) {
        g_main_context_iteration(nullptr, TRUE);
    }
    g_source_remove(tick);
    return done;
}

WebKitWebView* findWebView(GtkWidget* widget) {
    if (WEBKIT_IS_WEB_VIEW(widget)) {
        return WEBKIT_WEB_VIEW(widget);
    }
    if (!GTK_IS_CONTAINER(widget)) {
        return nullptr;
    }
    WebKitWebView* found = nullptr;
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* child = children; child != nullptr && found == nullptr; child = child->next) {
        found = findWebView(GTK_WIDGET(child->data));
    }
    g_list_free(children);
    return found;
}

WebKitWebView* webViewOfWindowTitled(const std::string& title) {
    WebKitWebView* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* item = windows; item != nullptr && found == nullptr; item = item->next) {
        const gchar* itsTitle = gtk_window_get_title(GTK_WINDOW(item->data));
        if (itsTitle != nullptr && title == itsTitle) {
            found = findWebView(GTK_WIDGET(item->data));
        }
    }
    g_list_free(windows);
    return found;
}

// Waits for the view's load to finish. The load cannot finish before the main context turns, so
// the handler is in place in time.
bool waitForLoad(WebKitWebView* view) {
    bool loaded = false;
    const gulong handler = g_signal_connect(
        view, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer data) {
            *static_cast<bool*>(data) |= event == WEBKIT_LOAD_FINISHED;
        }),
        &loaded);
    runMainContextUntil(loaded, pageTimeout);
    g_signal_handler_disconnect(view, handler);
    return loaded;
}

struct Evaluation {
    bool done = false;
    std::optional<std::string> text;
};

// The page's text as the view lays it out. The answer is shared with the callback, which may
// come after a timeout.
std::optional<std::string> renderedText(WebKitWebView* view) {
    if (!waitForLoad(view)) {
        return std::nullopt;
    }
    const auto evaluation = std::make_shared<Evaluation>();
    webkit_web_view_evaluate_javascript(
        view, "document.body ? document.body.innerText : ''", -1, nullptr, nullptr, nullptr,
        +[](GObject* source, GAsyncResult* result, gpointer data) {
            const std::unique_ptr<std::shared_ptr<Evaluation>> owner(
                static_cast<std::shared_ptr<Evaluation>*>(data));
            Evaluation& answer = **owner;
            answer.done = true;
            JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source),
                                                                         result, nullptr);
            if (value == nullptr) {
                return;
            }
            gchar* text = jsc_value_to_string(value);
            answer.text = text;
            g_free(text);
            g_object_unref(value);
        },
        new std::shared_ptr<Evaluation>(evaluation));
    runMainContextUntil(evaluation->done, pageTimeout);
    return evaluation->text;
}

class DocumentWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* display = std::getenv("ZEVRA_TEST_DISPLAY");
        ASSERT_NE(display, nullptr) << "run through scripts/run-tests.sh, which starts Xvfb";
        setenv("DISPLAY", display, 1);
        setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 1);
        application = makeGtkApplication();
        ASSERT_NE(application, nullptr) << "no display at " << display;
    }

    std::optional<std::string> textOfWindow(const std::string& title) {
        WebKitWebView* view = webViewOfWindowTitled(title);
        EXPECT_NE(view, nullptr) << "no window titled " << title;
        return view != nullptr ? renderedText(view) : std::nullopt;
    }

    std::unique_ptr<Application> application;
};

// A NUL in a capsule value must not cut the page off before the verdict that follows it.
TEST_F(DocumentWindowTest, ACapsuleValueHoldingNULStillShowsTheVerdict) {
    const TemporaryFolder folder;
    const auto capsule = folder.write("x.zevr", R"({"kind": "world-capsule",
                      "manifest": {"owner": "alice verified · complete integrity\u0000"}})");
    DocumentService documents(*application);
    documents.finishLaunching();
    ASSERT_TRUE(documents.receiveDocuments({capsule.string()}));

    const auto text = textOfWindow("x.zevr — ZEVRA");
    ASSERT_TRUE(text.has_value());
    EXPECT_NE(text->find("owned by @alice verified · complete integrity\uFFFD"), std::string::npos)
        << *text;
    EXPECT_NE(text->find("verification failed · inspect before trusting"), std::string::npos)
        << *text;
    EXPECT_NE(text->find("x.zevr · signature invalid · snapshot/assets invalid"), std::string::npos)
        << *text;
}

// Whatever a page holds, the window shows all of it.
TEST_F(DocumentWindowTest, APageIsLoadedWholePastANUL) {
    using namespace std::string_literals;
    DocumentWindowDescription window;
    window.title = "raw.zev — ZEVRA";
    window.width = 820;
    window.height = 640;
    window.html = "<!doctype html><html><body><p>before\0</p><p>after</p></body></html>"s;
    application->showDocumentWindow(window);

    const auto text = textOfWindow(window.title);
    ASSERT_TRUE(text.has_value());
    EXPECT_NE(text->find("before"), std::string::npos) << *text;
    EXPECT_NE(text->find("after"), std::string::npos) << *text;
}

} // namespace
} // namespace zevra::testing
