#include "webshell/data_url.h"

#include "webshell/data_url_payload.h"

namespace zevra {

std::optional<DataURLDownload> handleDataURL(std::string_view url) {
    if (!url.starts_with("data:")) {
        return std::nullopt;
    }
    auto payload = decodeDataURL(url);
    if (!payload || payload->bytes.empty()) {
        return std::nullopt;
    }
    return DataURLDownload{std::vector<std::uint8_t>(payload->bytes.begin(), payload->bytes.end()),
                           std::move(payload->extension)};
}

} // namespace zevra
