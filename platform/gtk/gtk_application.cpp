#include "platform/gtk/gtk_application.h"
#include "platform/bundle.h"
#include "platform/debug_log.h"
#include "platform/gtk/gtk_alert.h"
#include "platform/gtk/gtk_floating_window.h"
#include "platform/gtk/gtk_menu_bar.h"
#include "platform/gtk/gtk_progress_window.h"
#include "platform/gtk/gtk_web_view.h"
#include "platform/light_theme_name.h"
#include "platform/paths.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

namespace zevra {
namespace {

void centreOnScreen(GtkWindow* window) {
    gtk_window_set_position(window, GTK_WIN_POS_CENTER);
}

// Replaces the window's own background colour; the previous provider goes with it.
void applyBackground(GtkWidget* window, const std::string& color) {
    GtkStyleContext* style = gtk_widget_get_style_context(window);
    constexpr const char* providerKey = "zevra-background";
    if (auto* previous =
            static_cast<GtkStyleProvider*>(g_object_get_data(G_OBJECT(window), providerKey))) {
        gtk_style_context_remove_provider(style, previous);
    }
    GtkCssProvider* provider = gtk_css_provider_new();
    const std::string css = "window { background-color: " + color + "; }";
    gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
    gtk_style_context_add_provider(style, GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_set_data_full(G_OBJECT(window), providerKey, provider, g_object_unref);
}

void pinLightThemeName(GtkSettings* settings) {
    gchar* name = nullptr;
    g_object_get(settings, "gtk-theme-name", &name, nullptr);
    const std::string current = name != nullptr ? name : "";
    g_free(name);
    const std::string light = lightThemeName(current);
    if (light != current) {
        g_object_set(settings, "gtk-theme-name", light.c_str(), nullptr);
    }
}

// The pages are designed on a light window; a dark desktop theme would clash with them. The
// desktop may name a dark theme outright, now or later, as well as prefer dark variants.
void forceLightTheme() {
    GtkSettings* settings = gtk_settings_get_default();
    // Setting it, even to the value it has, reloads the whole theme: a cost at every start-up.
    gboolean preferDark = FALSE;
    g_object_get(settings, "gtk-application-prefer-dark-theme", &preferDark, nullptr);
    if (preferDark) {
        g_object_set(settings, "gtk-application-prefer-dark-theme", FALSE, nullptr);
    }
    pinLightThemeName(settings);
    g_signal_connect(settings, "notify::gtk-theme-name",
                     G_CALLBACK(+[](GtkSettings* changed, GParamSpec*, gpointer) {
                         pinLightThemeName(changed);
                     }),
                     nullptr);
}

// Cookies live beside the rest of the default store's data (local storage and the like), so a
// signed-in site stays signed in from one launch to the next.
void keepCookiesAcrossLaunches() {
    WebKitWebsiteDataManager* store =
        webkit_web_context_get_website_data_manager(webkit_web_context_get_default());
    const char* base = webkit_website_data_manager_get_base_data_directory(store);
    const std::filesystem::path folder =
        base != nullptr ? std::filesystem::path(base) : applicationSupportFolder() / "WebKit";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    webkit_cookie_manager_set_persistent_storage(
        webkit_website_data_manager_get_cookie_manager(store), (folder / "cookies.sqlite").c_str(),
        WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
}

void showAboutDialog(GtkWindow* parent) {
    const std::string version = mainBundleInfoString("CFBundleShortVersionString").value_or("");
    gtk_show_about_dialog(parent, "program-name", "ZEVRA", "version", version.c_str(), "comments",
                          "A native home for the ZEVRA web application.", nullptr);
}

const char* editingCommand(StandardMenuAction action) {
    switch (action) {
    case StandardMenuAction::Undo:
        return WEBKIT_EDITING_COMMAND_UNDO;
    case StandardMenuAction::Redo:
        return WEBKIT_EDITING_COMMAND_REDO;
    case StandardMenuAction::Cut:
        return WEBKIT_EDITING_COMMAND_CUT;
    case StandardMenuAction::Copy:
        return WEBKIT_EDITING_COMMAND_COPY;
    case StandardMenuAction::Paste:
        return WEBKIT_EDITING_COMMAND_PASTE;
    case StandardMenuAction::SelectAll:
        return WEBKIT_EDITING_COMMAND_SELECT_ALL;
    default:
        return nullptr;
    }
}

// Edit items act on the focused web view, or on a focused text field of our own.
void runEditingCommand(GtkWindow* window, StandardMenuAction action) {
    GtkWidget* focus = window != nullptr ? gtk_window_get_focus(window) : nullptr;
    const char* command = editingCommand(action);
    if (focus == nullptr || command == nullptr) {
        return;
    }
    if (WEBKIT_IS_WEB_VIEW(focus)) {
        webkit_web_view_execute_editing_command(WEBKIT_WEB_VIEW(focus), command);
        return;
    }
    if (GTK_IS_EDITABLE(focus)) {
        GtkEditable* editable = GTK_EDITABLE(focus);
        switch (action) {
        case StandardMenuAction::Cut:
            gtk_editable_cut_clipboard(editable);
            return;
        case StandardMenuAction::Copy:
            gtk_editable_copy_clipboard(editable);
            return;
        case StandardMenuAction::Paste:
            gtk_editable_paste_clipboard(editable);
            return;
        case StandardMenuAction::SelectAll:
            gtk_editable_select_region(editable, 0, -1);
            return;
        default:
            return;
        }
    }
}

bool windowStateHas(GtkWindow* window, GdkWindowState state) {
    GdkWindow* gdkWindow = gtk_widget_get_window(GTK_WIDGET(window));
    return gdkWindow != nullptr && (gdk_window_get_state(gdkWindow) & state) != 0;
}

void toggleMaximized(GtkWindow* window) {
    if (window == nullptr) {
        return;
    }
    if (gtk_window_is_maximized(window) != FALSE) {
        gtk_window_unmaximize(window);
        return;
    }
    gtk_window_maximize(window);
}

void toggleFullScreen(GtkWindow* window) {
    if (window == nullptr) {
        return;
    }
    if (windowStateHas(window, GDK_WINDOW_STATE_FULLSCREEN)) {
        gtk_window_unfullscreen(window);
        return;
    }
    gtk_window_fullscreen(window);
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
        if (!description.backgroundColor.empty()) {
            applyBackground(window, description.backgroundColor);
        }

        // Closing the main window only hides it; the app keeps running and can bring it back.
        g_signal_connect(window, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
        gtk_window_add_accel_group(GTK_WINDOW(window), accelerators_);

        mainBox_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_container_add(GTK_CONTAINER(window), mainBox_);
        mainView_ = std::make_unique<GtkWebView>(description.webView, &delegate);
        // The view draws no background of its own: where a page has none, the window's colour
        // shows. A transparent view is drawn black without compositing, so it takes that colour.
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

    void setMainWindowBackgroundColor(const std::string& color) override {
        if (mainWindow_ == nullptr) {
            return;
        }
        applyBackground(mainWindow_, color);
        mainView_->setBackgroundColor(color);
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

    std::unique_ptr<FloatingWindow> openFloatingWindow(const FloatingWindowDescription& window,
                                                       WebViewDelegate& delegate,
                                                       std::function<void()> closed) override {
        return std::make_unique<GtkFloatingWindow>(window, delegate, std::move(closed));
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

    GtkApplication() : accelerators_(gtk_accel_group_new()) {
        forceLightTheme();
        keepCookiesAcrossLaunches();
    }
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

    // Our windows, the main one first.
    [[nodiscard]] std::vector<GtkWindow*> windows() const {
        std::vector<GtkWindow*> all;
        if (mainWindow_ != nullptr) {
            all.push_back(GTK_WINDOW(mainWindow_));
        }
        for (GtkWidget* window : documentWindows_) {
            all.push_back(GTK_WINDOW(window));
        }
        return all;
    }

    // The window holding the keyboard focus; the main window when none does.
    [[nodiscard]] GtkWindow* activeWindow() const {
        for (GtkWindow* window : windows()) {
            if (gtk_window_is_active(window) != FALSE) {
                return window;
            }
        }
        return mainWindow_ != nullptr ? GTK_WINDOW(mainWindow_) : nullptr;
    }

    void performStandardAction(StandardMenuAction action) {
        GtkWindow* active = activeWindow();
        switch (action) {
        case StandardMenuAction::None:
        case StandardMenuAction::HideOthers: // other applications are the desktop's business
            return;
        case StandardMenuAction::About:
            showAboutDialog(active);
            return;
        case StandardMenuAction::Hide:
            for (GtkWindow* window : windows()) {
                gtk_window_iconify(window);
            }
            return;
        case StandardMenuAction::ShowAll:
            for (GtkWindow* window : windows()) {
                gtk_window_deiconify(window);
            }
            return;
        case StandardMenuAction::Quit:
            gtk_main_quit();
            return;
        case StandardMenuAction::Undo:
        case StandardMenuAction::Redo:
        case StandardMenuAction::Cut:
        case StandardMenuAction::Copy:
        case StandardMenuAction::Paste:
        case StandardMenuAction::SelectAll:
            runEditingCommand(active, action);
            return;
        case StandardMenuAction::CloseWindow:
            if (active != nullptr) {
                gtk_window_close(active);
            }
            return;
        case StandardMenuAction::Minimize:
            if (active != nullptr) {
                gtk_window_iconify(active);
            }
            return;
        case StandardMenuAction::Zoom:
            toggleMaximized(active);
            return;
        case StandardMenuAction::ToggleFullScreen:
            toggleFullScreen(mainWindow_ != nullptr ? GTK_WINDOW(mainWindow_) : nullptr);
            return;
        }
    }

    // The menu bar sits above the main web view; menus set before the window exists wait.
    void installMenuBar() {
        if (mainBox_ == nullptr || menus_.empty()) {
            return;
        }
        if (menuBar_ != nullptr) {
            gtk_widget_destroy(menuBar_);
        }
        menuBar_ = buildMenuBar(menus_, accelerators_, [this](StandardMenuAction action) {
            performStandardAction(action);
        });
        gtk_box_pack_start(GTK_BOX(mainBox_), menuBar_, FALSE, FALSE, 0);
        gtk_widget_show_all(menuBar_);
    }
};

} // namespace

std::unique_ptr<Application> makeGtkApplication() {
    // GTK_THEME outranks every setting, so its dark variant is dropped before GTK reads it.
    if (const char* theme = std::getenv("GTK_THEME")) {
        setenv("GTK_THEME", lightThemeName(theme).c_str(), 1);
    }
    if (!gtk_init_check(nullptr, nullptr)) {
        return nullptr;
    }
    return std::make_unique<GtkApplication>();
}

} // namespace zevra
