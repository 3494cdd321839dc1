#include "webshell/download_message_handler.h"

#include "webshell/data_url_payload.h"

#include <algorithm>

namespace zevra {

DownloadMessageHandler::DownloadMessageHandler(DownloadSaver& saver) : saver_(saver) {}

void DownloadMessageHandler::receive(const nlohmann::json& body) {
    if (!body.is_object() ||
        !std::all_of(body.begin(), body.end(), [](const auto& v) { return v.is_string(); })) {
        return;
    }
    const auto data = body.find("data");
    if (data == body.end()) {
        return;
    }
    const auto payload = decodeDataURL(data->get_ref<const std::string&>());
    if (!payload) {
        return;
    }
    std::optional<std::string> name;
    if (const auto filename = body.find("filename");
        filename != body.end() && !filename->get_ref<const std::string&>().empty()) {
        name = filename->get<std::string>();
    }
    static_cast<void>(saver_.saveDownload(payload->bytes, name, payload->extension));
}

} // namespace zevra
