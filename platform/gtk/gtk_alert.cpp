#include "platform/gtk/gtk_alert.h"

#include "platform/debug_log.h"

#include <gtk/gtk.h>

namespace zevra {
namespace {

GtkMessageType messageType(AlertStyle style) {
    switch (style) {
    case AlertStyle::Informational:
        return GTK_MESSAGE_INFO;
    case AlertStyle::Warning:
        return GTK_MESSAGE_WARNING;
    case AlertStyle::Critical:
        return GTK_MESSAGE_ERROR;
    }
    return GTK_MESSAGE_INFO;
}

} // namespace

std::size_t runGtkAlert(GtkWindow* parent, const AlertDescription& alert) {
    GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, messageType(alert.style),
                                               GTK_BUTTONS_NONE, "%s", alert.message.c_str());
    if (!alert.informativeText.empty()) {
        gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s",
                                                 alert.informativeText.c_str());
    }
    for (std::size_t i = 0; i < alert.buttons.size(); ++i) {
        gtk_dialog_add_button(GTK_DIALOG(dialog), alert.buttons[i].c_str(), static_cast<gint>(i));
    }
    if (alert.buttons.empty()) {
        gtk_dialog_add_button(GTK_DIALOG(dialog), "OK", 0);
    }
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), 0);
    debugLine("alert: " + alert.message + ": " + alert.informativeText);
    // The buttons are fixed: closing the dialog by other means chooses nothing, so ask again.
    gint response = GTK_RESPONSE_DELETE_EVENT;
    while (response == GTK_RESPONSE_DELETE_EVENT) {
        response = gtk_dialog_run(GTK_DIALOG(dialog));
    }
    gtk_widget_destroy(dialog);
    return response < 0 ? 0 : static_cast<std::size_t>(response);
}

} // namespace zevra
