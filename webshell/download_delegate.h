#pragma once

#include "platform/system_log.h"
#include "platform/web_view_events.h"
#include "webshell/download_saver.h"

#include <filesystem>
#include <functional>
#include <optional>

namespace zevra {

// Downloads the web engine writes itself: each gets a new file of its own in the downloads
// folder (claimed empty, never an existing one), a failed one is logged and its file removed.
class DownloadDelegate {
public:
    // Called with each file the engine finished.
    using Finished = std::function<void(const std::filesystem::path&)>;

    DownloadDelegate(DownloadSaver& saver, SystemLog& log, Finished finished);

    [[nodiscard]] std::optional<std::filesystem::path> destination(const DownloadRequest& request);
    void finished(const std::filesystem::path& file);
    void failed(const DownloadFailure& failure);

private:
    DownloadSaver& saver_;
    SystemLog& log_;
    Finished finished_;
};

} // namespace zevra
