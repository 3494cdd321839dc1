#pragma once

#include <string_view>

namespace zevra {

// Injected at document start into every frame of the main web view: blob and data links, which
// the engine cannot hand to a download, are read in the page and posted to "zevraDownload".
[[nodiscard]] std::string_view downloadHookScript();

} // namespace zevra
