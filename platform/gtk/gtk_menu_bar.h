#pragma once

#include "platform/menu.h"

#include <vector>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkAccelGroup GtkAccelGroup;

namespace zevra {

// A menu bar for `menus`; each item's key becomes a Ctrl accelerator in `accelerators`.
[[nodiscard]] GtkWidget* buildMenuBar(const std::vector<Menu>& menus, GtkAccelGroup* accelerators);

} // namespace zevra
