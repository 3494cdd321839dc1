#pragma once

#include "webshell/download_saver.h"

#include <nlohmann/json.hpp>

namespace zevra {

// The "zevraDownload" script message: {"data": a data URL, "filename": optional name}, posted
// by the download hook script for blob and data links. Any frame may send it; what it can do is
// bounded by the saver's names and limits. Malformed messages are ignored.
class DownloadMessageHandler {
public:
    explicit DownloadMessageHandler(DownloadSaver& saver);

    void receive(const nlohmann::json& body);

private:
    DownloadSaver& saver_;
};

} // namespace zevra
