#include "platform/gtk/gtk_progress_window.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <utility>

namespace zevra {
namespace {

class GtkProgressWindow final : public ProgressWindow {
public:
    GtkProgressWindow(GtkWindow* parent, const ProgressDescription& progress,
                      std::function<void()> cancel)
        : cancel_(std::move(cancel)),
          dialog_(gtk_dialog_new_with_buttons(progress.title.c_str(), parent,
                                              GTK_DIALOG_DESTROY_WITH_PARENT, "_Cancel",
                                              GTK_RESPONSE_CANCEL, nullptr)),
          bar_(gtk_progress_bar_new()) {
        GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog_));
        gtk_container_set_border_width(GTK_CONTAINER(content), 12);
        gtk_box_set_spacing(GTK_BOX(content), 12);
        GtkWidget* label = gtk_label_new(progress.text.c_str());
        gtk_label_set_xalign(GTK_LABEL(label), 0);
        gtk_box_pack_start(GTK_BOX(content), label, FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(content), bar_, FALSE, FALSE, 0);
        gtk_window_set_default_size(GTK_WINDOW(dialog_), 360, -1);
        gtk_window_set_resizable(GTK_WINDOW(dialog_), FALSE);
        // Closing the window cancels like the button; the window stays until we destroy it.
        g_signal_connect(dialog_, "delete-event", G_CALLBACK(gtk_true), nullptr);
        g_signal_connect(dialog_, "response", G_CALLBACK(onResponse), this);
        // A main window closing takes its dialogs with it; then there is nothing left to do.
        g_signal_connect(dialog_, "destroy", G_CALLBACK(gtk_widget_destroyed), &dialog_);
        gtk_widget_show_all(dialog_);
    }
    ~GtkProgressWindow() override {
        if (dialog_ != nullptr) {
            g_signal_handlers_disconnect_by_data(dialog_, this);
            g_signal_handlers_disconnect_by_data(dialog_, &dialog_);
            gtk_widget_destroy(dialog_);
        }
    }
    GtkProgressWindow(const GtkProgressWindow&) = delete;
    GtkProgressWindow& operator=(const GtkProgressWindow&) = delete;

    void setProgress(double fraction) override {
        if (dialog_ == nullptr) {
            return;
        }
        if (fraction < 0) {
            gtk_progress_bar_pulse(GTK_PROGRESS_BAR(bar_));
            return;
        }
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar_), std::min(fraction, 1.0));
    }

private:
    std::function<void()> cancel_;
    GtkWidget* dialog_;
    GtkWidget* bar_;

    static void onResponse(GtkDialog* dialog, gint /*response*/, gpointer data) {
        auto* self = static_cast<GtkProgressWindow*>(data);
        gtk_widget_set_sensitive(GTK_WIDGET(dialog), FALSE);
        if (self->cancel_) {
            std::exchange(self->cancel_, nullptr)();
        }
    }
};

} // namespace

std::unique_ptr<ProgressWindow> showGtkProgressWindow(GtkWindow* parent,
                                                      const ProgressDescription& progress,
                                                      std::function<void()> cancel) {
    return std::make_unique<GtkProgressWindow>(parent, progress, std::move(cancel));
}

} // namespace zevra
