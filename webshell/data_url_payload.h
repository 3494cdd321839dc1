#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// The bytes a "data:" URL carries, and the extension its media type suggests for a name.
struct DataURLPayload {
    std::string bytes;
    std::string extension;
};

// Decodes the payload of a data URL: Base64 (characters outside the alphabet skipped) when the
// header says ";base64", percent-decoding otherwise. The first five characters are taken to be
// "data:" unread. Absent when there is no comma after them, the Base64 text does not decode, or
// the text or the bytes exceed the limits.
[[nodiscard]] std::optional<DataURLPayload> decodeDataURL(std::string_view url);

// What one download may hold, decoded, and the longest data URL text read to get there.
inline constexpr std::size_t maximumDownloadBytes = 104857600;
inline constexpr std::size_t maximumDataURLPayloadText = 146800640;

} // namespace zevra
