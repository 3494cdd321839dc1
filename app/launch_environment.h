#pragma once

#include <string>

namespace zevra {

// The web inspector is on only when ZEVRA_DEVTOOLS is exactly "1".
[[nodiscard]] bool developerExtrasEnabled(const char* devtoolsValue);

// ZEVRA_INITIAL_URL when it is an absolute URL, otherwise the shell page.
[[nodiscard]] std::string firstPageURL(const char* initialURLValue);

} // namespace zevra
