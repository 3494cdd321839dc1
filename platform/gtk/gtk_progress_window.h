#pragma once

#include "platform/progress_window.h"

#include <functional>
#include <memory>

typedef struct _GtkWindow GtkWindow;

namespace zevra {

// A small dialog over `parent` with the text, a progress bar and a Cancel button.
[[nodiscard]] std::unique_ptr<ProgressWindow>
showGtkProgressWindow(GtkWindow* parent, const ProgressDescription& progress,
                      std::function<void()> cancel);

} // namespace zevra
