#pragma once

#include <string>
#include <string_view>

namespace zevra {

// Shown when the shell page failed to load after its retries; `errorDescription` is escaped.
[[nodiscard]] std::string shellRecoveryPage(std::string_view errorDescription);

// Shown when the renderer stopped three times in 30 seconds; its button loads `shellURL`.
[[nodiscard]] std::string rendererRecoveryPage(std::string_view shellURL);

} // namespace zevra
