#pragma once

#include "platform/web_view_events.h"

typedef struct _GtkWindow GtkWindow;
typedef struct _WebKitFileChooserRequest WebKitFileChooserRequest;

namespace zevra {

// Shows a non-modal native chooser for a page's file input and answers the request when the
// user confirms (the chosen files) or cancels (none).
void runFileChooser(GtkWindow* parent, WebKitFileChooserRequest* request,
                    const OpenPanelOptions& options);

} // namespace zevra
