#pragma once

#include "platform/alert.h"

#include <cstddef>

typedef struct _GtkWindow GtkWindow;

namespace zevra {

// Runs a modal message dialog until one of its buttons is chosen; returns that button's index.
[[nodiscard]] std::size_t runGtkAlert(GtkWindow* parent, const AlertDescription& alert);

} // namespace zevra
