#include "platform/gtk/gtk_application.h"
#include "platform/debug_log.h"
#include "platform/gtk/gtk_alert.h"
#include "platform/gtk/gtk_menu_bar.h"
#include "platform/gtk/gtk_progress_window.h"
#include "platform/gtk/gtk_web_view.h"

#include <gtk/gtk.h>

#include <utility>
#include <vector>

namespace zevra {
namespace {

void centreOnScreen(GtkWindow* window) {
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
}

void applyBackground(GtkWidget* window, const std::string& color) {
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

void addQuitAccelerator(GtkAccelGroup* group) {
    GClosure* closure = g_cclosure_new(
        G_CALLBACK(+[](GtkAccelGroup*, GObject*, guint, GdkModifierType, gpointer) -> gboolean {
            gtk_main_quit();
            return TRUE;
        }),
        nullptr, nullptr);
    gtk_accel_group_connect(group, GDK_KEY_q, GDK_CONTROL_MASK, GTK_ACCEL_VISIBLE, closure);
}

class GtkTimer final : public MainThreadTimer {
public:
    GtkTimer(std::chrono::milliseconds interval, bool repeats, std::function<void()> fire)
        : source_(g_timeout_source_new(static_cast<guint>(interval.count()))), repeats_(repeats),
          fire_(std::move(fire)) {
        g_source_set_callback(
            source_,
            [](gpointer data) -> gboolean {
                auto* timer = static_cast<GtkTimer*>(data);
                const bool again = timer->repeats_;
                // The work may destroy the timer, and with it the stored function.
                const std::function<void()> fire = timer->fire_;
                fire();
                return again ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
            },
            this, nullptr);
        g_source_attach(source_, nullptr);
    }
    ~GtkTimer() override {
        g_source_destroy(source_);
        g_source_unref(source_);
    }
    GtkTimer(const GtkTimer&) = delete;
    GtkTimer& operator=(const GtkTimer&) = delete;

private:
    GSource* source_;
    bool repeats_;
    std::function<void()> fire_;
};

class GtkApplication final : public Application {
public:
    ~GtkApplication() override {
        documentViews_.clear();
        for (GtkWidget* window : documentWindows_) {
            gtk_widget_destroy(window);
        }
        mainView_.reset();
        if (mainWindow_ != nullptr) {
            gtk_widget_destroy(mainWindow_);
        }
        g_object_unref(accelerators_);
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

    WebView& showMainWindow(const MainWindowDescription& description,
                            WebViewDelegate& delegate) override {
        if (mainWindow_ != nullptr) {
            restoreMainWindow();
            return *mainView_;
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
        applyBackground(window, description.backgroundColor);

        // Closing the main window only hides it; the app keeps running and can bring it back.
        g_signal_connect(window, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
        gtk_window_add_accel_group(GTK_WINDOW(window), accelerators_);

        mainBox_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_container_add(GTK_CONTAINER(window), mainBox_);
        mainView_ = std::make_unique<GtkWebView>(description.webView, &delegate);
        mainView_->setBackgroundColor(description.backgroundColor);
        gtk_box_pack_end(GTK_BOX(mainBox_), mainView_->widget(), TRUE, TRUE, 0);
        installMenuBar();
        gtk_widget_show_all(window);
        gtk_window_present(GTK_WINDOW(window));
        return *mainView_;
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
        auto view = std::make_unique<GtkWebView>(WebViewConfiguration{}, nullptr);
        gtk_container_add(GTK_CONTAINER(window), view->widget());
        view->loadHTML(description.html, "");
        gtk_widget_show_all(window);
        gtk_window_present(GTK_WINDOW(window));
        documentWindows_.push_back(window);
        documentViews_.push_back(std::move(view));
        debugLine("document window: " + description.title);
    }

    void setMainMenu(const std::vector<Menu>& menus) override {
        menus_ = menus;
        installMenuBar();
    }

    std::size_t runModalAlert(const AlertDescription& alert) override {
        return runGtkAlert(mainWindow_ != nullptr ? GTK_WINDOW(mainWindow_) : nullptr, alert);
    }

    std::unique_ptr<ProgressWindow> showProgressWindow(const ProgressDescription& progress,
                                                       std::function<void()> cancel) override {
        return showGtkProgressWindow(mainWindow_ != nullptr ? GTK_WINDOW(mainWindow_) : nullptr,
                                     progress, std::move(cancel));
    }

    std::unique_ptr<MainThreadTimer> scheduleTimer(std::chrono::milliseconds interval, bool repeats,
                                                   std::function<void()> fire) override {
        return std::make_unique<GtkTimer>(interval, repeats, std::move(fire));
    }

    [[nodiscard]] bool hasDisplay() const override { return true; }

    GtkApplication() : accelerators_(gtk_accel_group_new()) { addQuitAccelerator(accelerators_); }
    GtkApplication(const GtkApplication&) = delete;
    GtkApplication& operator=(const GtkApplication&) = delete;

private:
    GtkWidget* mainWindow_ = nullptr;
    GtkWidget* mainBox_ = nullptr;
    GtkWidget* menuBar_ = nullptr;
    GtkAccelGroup* accelerators_;
    std::unique_ptr<GtkWebView> mainView_;
    std::vector<GtkWidget*> documentWindows_;
    std::vector<std::unique_ptr<GtkWebView>> documentViews_;
    std::vector<Menu> menus_;

    // The menu bar sits above the main web view; menus set before the window exists wait.
    void installMenuBar() {
        if (mainBox_ == nullptr || menus_.empty()) {
            return;
        }
        if (menuBar_ != nullptr) {
            gtk_widget_destroy(menuBar_);
        }
        menuBar_ = buildMenuBar(menus_, accelerators_);
        gtk_box_pack_start(GTK_BOX(mainBox_), menuBar_, FALSE, FALSE, 0);
        gtk_widget_show_all(menuBar_);
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
