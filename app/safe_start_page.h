#pragma once

#include <string>
#include <string_view>

namespace zevra {

// Shown instead of the shell after three rapid unclean exits; its button loads the shell page
// in the same view. `releaseHost` names where the verified installer lives.
[[nodiscard]] std::string safeStartPage(std::string_view releaseHost);

} // namespace zevra
