#pragma once

#include "platform/application.h"
#include "platform/clock.h"
#include "platform/system_log.h"
#include "platform/workspace.h"
#include "webshell/download_alerts.h"
#include "webshell/download_delegate.h"
#include "webshell/download_message_handler.h"
#include "webshell/download_saver.h"

#include <filesystem>

namespace zevra {

struct DataURLDownload;

// Everything that puts downloads into the downloads folder, whichever road they take (the web
// engine, the pages' download hook, data URLs navigated to), and tells the user with one alert
// at a time. Main thread only.
class DownloadServices {
public:
    DownloadServices(Application& application, std::filesystem::path folder, const Clock& clock,
                     SystemLog& log, Workspace& workspace);
    DownloadServices(const DownloadServices&) = delete;
    DownloadServices& operator=(const DownloadServices&) = delete;

    [[nodiscard]] DownloadMessageHandler& messages() { return messages_; }
    [[nodiscard]] DownloadDelegate& engineDownloads() { return engine_; }
    void saveDataURL(const DataURLDownload& download);

private:
    Application& application_;
    DownloadAlerts alerts_;
    DownloadSaver saver_;
    DownloadMessageHandler messages_;
    DownloadDelegate engine_;
};

} // namespace zevra
