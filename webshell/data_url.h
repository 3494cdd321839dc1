#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zevra {

// A data: address navigated to at the top level, to be saved as a file.
struct DataURLDownload {
    std::vector<std::uint8_t> data;
    std::string extension; // "png", "csv", ... or "bin"
};

// The bytes of a data URL (Base64 when its header says so, percent-escaped otherwise), with the
// extension its media type suggests; absent without a comma, over the size limits, or when
// nothing decodes.
[[nodiscard]] std::optional<DataURLDownload> handleDataURL(std::string_view url);

} // namespace zevra
