#include "platform/gtk/gtk_menu_bar.h"

#include <gtk/gtk.h>

namespace zevra {
namespace {

GtkWidget* menuItem(const MenuItem& item, GtkAccelGroup* accelerators) {
    if (item.title.empty()) {
        return gtk_separator_menu_item_new();
    }
    GtkWidget* widget = gtk_menu_item_new_with_label(item.title.c_str());
    if (item.action) {
        g_signal_connect_data(
            widget, "activate", G_CALLBACK(+[](GtkMenuItem*, gpointer data) {
                (*static_cast<std::function<void()>*>(data))();
            }),
            new std::function<void()>(item.action),
            [](gpointer data, GClosure*) { delete static_cast<std::function<void()>*>(data); },
            GConnectFlags{});
    }
    const guint key = item.key.empty() ? 0 : gdk_keyval_from_name(item.key.c_str());
    if (key != 0 && key != GDK_KEY_VoidSymbol) {
        gtk_widget_add_accelerator(widget, "activate", accelerators, key, GDK_CONTROL_MASK,
                                   GTK_ACCEL_VISIBLE);
    }
    return widget;
}

} // namespace

GtkWidget* buildMenuBar(const std::vector<Menu>& menus, GtkAccelGroup* accelerators) {
    GtkWidget* bar = gtk_menu_bar_new();
    for (const Menu& menu : menus) {
        GtkWidget* top = gtk_menu_item_new_with_label(menu.title.c_str());
        GtkWidget* submenu = gtk_menu_new();
        gtk_menu_set_accel_group(GTK_MENU(submenu), accelerators);
        for (const MenuItem& item : menu.items) {
            gtk_menu_shell_append(GTK_MENU_SHELL(submenu), menuItem(item, accelerators));
        }
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), submenu);
        gtk_menu_shell_append(GTK_MENU_SHELL(bar), top);
    }
    return bar;
}

} // namespace zevra
