#include "platform/gtk/gtk_menu_bar.h"

#include <gtk/gtk.h>

namespace zevra {
namespace {

void connectActivate(GtkWidget* widget, std::function<void()> action) {
    g_signal_connect_data(
        widget, "activate", G_CALLBACK(+[](GtkMenuItem*, gpointer data) {
            (*static_cast<std::function<void()>*>(data))();
        }),
        new std::function<void()>(std::move(action)),
        [](gpointer data, GClosure*) { delete static_cast<std::function<void()>*>(data); },
        GConnectFlags{});
}

GtkWidget* menuItem(const MenuItem& item, GtkAccelGroup* accelerators,
                    const StandardMenuHandler& standard) {
    if (item.title.empty()) {
        return gtk_separator_menu_item_new();
    }
    GtkWidget* widget = gtk_menu_item_new_with_label(item.title.c_str());
    if (item.standard == StandardMenuAction::HideOthers) {
        // The desktop, not an application, decides about other applications' windows.
        gtk_widget_set_sensitive(widget, FALSE);
    } else if (item.standard != StandardMenuAction::None) {
        connectActivate(widget, [standard, action = item.standard] { standard(action); });
    } else if (item.action) {
        connectActivate(widget, item.action);
    }
    guint key = 0;
    GdkModifierType modifiers{};
    gtk_accelerator_parse(item.key.c_str(), &key, &modifiers);
    if (key != 0) {
        gtk_widget_add_accelerator(widget, "activate", accelerators, key, modifiers,
                                   GTK_ACCEL_VISIBLE);
    }
    return widget;
}

} // namespace

GtkWidget* buildMenuBar(const std::vector<Menu>& menus, GtkAccelGroup* accelerators,
                        const StandardMenuHandler& standard) {
    GtkWidget* bar = gtk_menu_bar_new();
    for (const Menu& menu : menus) {
        GtkWidget* top = gtk_menu_item_new_with_label(menu.title.c_str());
        GtkWidget* submenu = gtk_menu_new();
        gtk_menu_set_accel_group(GTK_MENU(submenu), accelerators);
        for (const MenuItem& item : menu.items) {
            gtk_menu_shell_append(GTK_MENU_SHELL(submenu), menuItem(item, accelerators, standard));
        }
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), submenu);
        gtk_menu_shell_append(GTK_MENU_SHELL(bar), top);
    }
    return bar;
}

} // namespace zevra
