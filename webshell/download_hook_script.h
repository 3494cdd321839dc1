#pragma once

namespace zevra {

// Injected at document start into every frame of the main web view: blob: and data: links
// with a download attribute, and anchors clicked from script, hand their bytes to the
// "zevraDownload" handler instead of navigating.
[[nodiscard]] const char* downloadHookScript();

} // namespace zevra
