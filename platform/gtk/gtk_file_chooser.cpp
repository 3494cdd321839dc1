#include "platform/gtk/gtk_file_chooser.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <vector>

namespace zevra {
namespace {

void onResponse(GtkNativeDialog* dialog, gint response, gpointer data) {
    auto* request = static_cast<WebKitFileChooserRequest*>(data);
    if (response != GTK_RESPONSE_ACCEPT) {
        webkit_file_chooser_request_cancel(request);
    } else {
        GSList* files = gtk_file_chooser_get_filenames(GTK_FILE_CHOOSER(dialog));
        std::vector<const gchar*> names;
        for (GSList* file = files; file != nullptr; file = file->next) {
            names.push_back(static_cast<const gchar*>(file->data));
        }
        names.push_back(nullptr);
        webkit_file_chooser_request_select_files(request, names.data());
        g_slist_free_full(files, g_free);
    }
    g_object_unref(request);
    g_object_unref(dialog);
}

} // namespace

void runFileChooser(GtkWindow* parent, WebKitFileChooserRequest* request,
                    const OpenPanelOptions& options) {
    GtkFileChooserNative* dialog = gtk_file_chooser_native_new(
        nullptr, parent, GTK_FILE_CHOOSER_ACTION_OPEN, nullptr, nullptr);
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(dialog), FALSE);
    gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(dialog), options.allowsMultipleSelection);
    if (!options.mimeTypes.empty()) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, "Supported files");
        for (const auto& type : options.mimeTypes) {
            gtk_file_filter_add_mime_type(filter, type.c_str());
        }
        gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), filter); // takes the filter
    }
    g_object_ref(request);
    g_signal_connect(dialog, "response", G_CALLBACK(onResponse), request);
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(dialog));
}

} // namespace zevra
