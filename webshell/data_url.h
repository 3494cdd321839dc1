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
    std::string extension; // "png", "jpg", ... or "bin"
};

// The bytes of a data URL, Base64-decoded whatever its header says, with the extension its
// media type suggests; absent without a comma or when nothing decodes.
[[nodiscard]] std::optional<DataURLDownload> handleDataURL(std::string_view url);

} // namespace zevra
