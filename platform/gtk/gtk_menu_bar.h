#pragma once

#include "platform/menu.h"

#include <functional>
#include <vector>

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkAccelGroup GtkAccelGroup;

namespace zevra {

using StandardMenuHandler = std::function<void(StandardMenuAction)>;

// A menu bar for `menus`; each item's key becomes an accelerator in `accelerators`, and
// standard items go to `standard`.
[[nodiscard]] GtkWidget* buildMenuBar(const std::vector<Menu>& menus, GtkAccelGroup* accelerators,
                                      const StandardMenuHandler& standard);

} // namespace zevra
