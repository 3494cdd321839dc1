#include "platform/gtk/gtk_floating_window.h"
#include "platform/debug_log.h"
#include "platform/gtk/gtk_web_view.h"

#include <gtk/gtk.h>

#include <utility>

namespace zevra {

GtkFloatingWindow::GtkFloatingWindow(const FloatingWindowDescription& description,
                                     WebViewDelegate& delegate, std::function<void()> closed)
    : window_(gtk_window_new(GTK_WINDOW_TOPLEVEL)),
      view_(std::make_unique<GtkWebView>(description.webView, &delegate)),
      closed_(std::move(closed)) {
    GtkWindow* window = GTK_WINDOW(window_);
    gtk_window_set_title(window, description.title.c_str());
    gtk_window_set_default_size(window, description.width, description.height);
    GdkGeometry geometry{};
    geometry.min_width = description.minimumWidth;
    geometry.min_height = description.minimumHeight;
    gtk_window_set_geometry_hints(window, nullptr, &geometry, GDK_HINT_MIN_SIZE);
    gtk_window_move(window, description.x, description.y);
    // A window manager may ignore the wish; the window still works as a normal one.
    gtk_window_set_keep_above(window, TRUE);
    gtk_container_add(GTK_CONTAINER(window_), view_->widget());
    // Closing only hides the window; its owner destroys it when told.
    g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
    gtk_widget_show_all(window_);
    gtk_window_present(window);
    debugLine("floating window: " + description.title);
}

GtkFloatingWindow::~GtkFloatingWindow() {
    if (closeSource_ != 0) {
        g_source_remove(closeSource_);
    }
    g_signal_handlers_disconnect_by_data(window_, this);
    // The view goes first: its widget leaves the window with it.
    gtk_container_remove(GTK_CONTAINER(window_), view_->widget());
    view_.reset();
    gtk_widget_destroy(window_);
}

WebView& GtkFloatingWindow::webView() {
    return *view_;
}

void GtkFloatingWindow::bringToFront() {
    gtk_window_present(GTK_WINDOW(window_));
}

int GtkFloatingWindow::onDelete(GtkWidget* window, void*, void* data) {
    auto* self = static_cast<GtkFloatingWindow*>(data);
    gtk_widget_hide(window);
    if (self->closeSource_ == 0 && self->closed_) {
        // On a later turn, so the owner may destroy the window from `closed`.
        self->closeSource_ = g_idle_add(
            [](gpointer data) -> gboolean {
                auto* self = static_cast<GtkFloatingWindow*>(data);
                self->closeSource_ = 0;
                const auto closed = std::exchange(self->closed_, nullptr);
                closed();
                return G_SOURCE_REMOVE;
            },
            self);
    }
    return TRUE;
}

} // namespace zevra
