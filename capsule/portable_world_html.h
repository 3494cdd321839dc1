#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace zevra {

// The self-contained, script-free page for a world capsule: owner, verification verdict,
// portability receipt and the world's pages, posts, objects and collage wall. Every capsule
// text is escaped; images come only from media the capsule carries.
[[nodiscard]] std::string portableWorldHTML(const nlohmann::json& capsule,
                                            std::string_view filename);

} // namespace zevra
