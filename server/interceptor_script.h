#pragma once

#include <string>
#include <string_view>

namespace zevra {

// The script put into every proxied page: it sends the page's own first-party requests, links,
// forms and location changes back through the loopback server under `localBase`; `origin` is
// the upstream origin the page came from.
[[nodiscard]] std::string interceptorScript(std::string_view localBase, std::string_view origin);

} // namespace zevra
