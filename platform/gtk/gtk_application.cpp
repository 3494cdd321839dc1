#include "platform/gtk/gtk_application.h"
#include "platform/debug_log.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <utility>
#include <vector>

namespace zevra {
namespace {

GdkRGBA parseColor(const std::string& text) {
    GdkRGBA color{0.75, 0.75, 0.75, 1.0};
    if (!text.empty()) {
        gdk_rgba_parse(&color, text.c_str());
    }
    return color;
}

// Load outcomes are how end-to-end checks see that the page really arrived.
void onLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer) {
    if (event == WEBKIT_LOAD_FINISHED) {
        debugLine(std::string("load finished: ") + webkit_web_view_get_uri(view));
    }
}

gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer) {
    debugLine(std::string("load failed: ") + uri + ": " + (error != nullptr ? error->message : ""));
    return FALSE;
}

void centreOnScreen(GtkWindow* window) {
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
}

class GtkApplication final : public Application {
public:
    ~GtkApplication() override {
        for (GtkWidget* window : documentWindows_) {
            gtk_widget_destroy(window);
        }
        if (mainWindow_ != nullptr) {
            gtk_widget_destroy(mainWindow_);
        }
    }

    void run(std::function<void()> didFinishLaunching) override {
        if (didFinishLaunching) {
            postToMain(std::move(didFinishLaunching));
        }
        gtk_main();
    }

    void quit() override {
        postToMain([] { gtk_main_quit(); });
    }

    void postToMain(std::function<void()> work) override {
        auto* boxed = new std::function<void()>(std::move(work));
        g_idle_add_full(
            G_PRIORITY_DEFAULT,
            [](gpointer data) -> gboolean {
                (*static_cast<std::function<void()>*>(data))();
                return G_SOURCE_REMOVE;
            },
            boxed, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
    }

    void showMainWindow(const MainWindowDescription& description) override {
        if (mainWindow_ != nullptr) {
            restoreMainWindow();
            return;
        }
        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        mainWindow_ = window;
        gtk_window_set_title(GTK_WINDOW(window), description.title.c_str());
        gtk_window_set_default_size(GTK_WINDOW(window), description.width, description.height);
        GdkGeometry geometry{};
        geometry.min_width = description.minimumWidth;
        geometry.min_height = description.minimumHeight;
        gtk_window_set_geometry_hints(GTK_WINDOW(window), nullptr, &geometry, GDK_HINT_MIN_SIZE);
        centreOnScreen(GTK_WINDOW(window));
        const GdkRGBA background = parseColor(description.backgroundColor);
        applyBackground(window, description.backgroundColor);

        // Closing the main window only hides it; the app keeps running and can bring it back.
        g_signal_connect(window, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
        addQuitAccelerator(GTK_WINDOW(window));

        GtkWidget* view = webkit_web_view_new();
        webkit_web_view_set_background_color(WEBKIT_WEB_VIEW(view), &background);
        g_signal_connect(view, "load-changed", G_CALLBACK(onLoadChanged), nullptr);
        g_signal_connect(view, "load-failed", G_CALLBACK(onLoadFailed), nullptr);
        gtk_container_add(GTK_CONTAINER(window), view);
        webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), description.initialURL.c_str());
        gtk_widget_show_all(window);
        gtk_window_present(GTK_WINDOW(window));
    }

    void restoreMainWindow() override {
        if (mainWindow_ == nullptr) {
            return;
        }
        gtk_widget_show(mainWindow_);
        gtk_window_deiconify(GTK_WINDOW(mainWindow_));
        gtk_window_present(GTK_WINDOW(mainWindow_));
        debugLine("main window restored");
    }

    void showDocumentWindow(const DocumentWindowDescription& description) override {
        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_title(GTK_WINDOW(window), description.title.c_str());
        gtk_window_set_default_size(GTK_WINDOW(window), description.width, description.height);
        centreOnScreen(GTK_WINDOW(window));
        // Document windows stay for the life of the process; closing one hides it.
        g_signal_connect(window, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
        GtkWidget* view = webkit_web_view_new();
        g_signal_connect(view, "load-changed", G_CALLBACK(onLoadChanged), nullptr);
        gtk_container_add(GTK_CONTAINER(window), view);
        // Loaded by length: a NUL inside the page must not end it there.
        GBytes* page = g_bytes_new(description.html.data(), description.html.size());
        webkit_web_view_load_bytes(WEBKIT_WEB_VIEW(view), page, "text/html", "UTF-8", nullptr);
        g_bytes_unref(page);
        gtk_widget_show_all(window);
        gtk_window_present(GTK_WINDOW(window));
        documentWindows_.push_back(window);
        debugLine("document window: " + description.title);
    }

    [[nodiscard]] bool hasDisplay() const override { return true; }

private:
    GtkWidget* mainWindow_ = nullptr;
    std::vector<GtkWidget*> documentWindows_;

    static void applyBackground(GtkWidget* window, const std::string& color) {
        if (color.empty()) {
            return;
        }
        GtkCssProvider* provider = gtk_css_provider_new();
        const std::string css = "window { background-color: " + color + "; }";
        gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
        gtk_style_context_add_provider(gtk_widget_get_style_context(window),
                                       GTK_STYLE_PROVIDER(provider),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        g_object_unref(provider);
    }

    static void addQuitAccelerator(GtkWindow* window) {
        GtkAccelGroup* group = gtk_accel_group_new();
        GClosure* closure = g_cclosure_new(
            G_CALLBACK(+[](GtkAccelGroup*, GObject*, guint, GdkModifierType, gpointer) -> gboolean {
                gtk_main_quit();
                return TRUE;
            }),
            nullptr, nullptr);
        gtk_accel_group_connect(group, GDK_KEY_q, GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE, closure);
        gtk_window_add_accel_group(window, group);
        g_object_unref(group);
    }
};

} // namespace

std::unique_ptr<Application> makeGtkApplication() {
    if (!gtk_init_check(nullptr, nullptr)) {
        return nullptr;
    }
    return std::make_unique<GtkApplication>();
}

} // namespace zevra
