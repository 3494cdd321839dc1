#include "app/download_services.h"

#include "webshell/data_url.h"

#include <string_view>
#include <utility>

namespace zevra {

// Alerts are modal: they run on a later turn, never inside the engine's or a page's callback.
DownloadServices::DownloadServices(Application& application, std::filesystem::path folder,
                                   const Clock& clock, SystemLog& log, Workspace& workspace)
    : application_(application),
      alerts_([&application](
                  const AlertDescription& alert) { return application.runModalAlert(alert); },
              [&workspace](const std::filesystem::path& file) {
                  workspace.revealFolder(file.parent_path().string());
              }),
      saver_(std::move(folder), clock, log,
             [this](const std::filesystem::path& file) {
                 application_.postToMain([this, file] { alerts_.announce(file); });
             }),
      messages_(saver_), engine_(saver_, log, [this](const std::filesystem::path& file) {
          application_.postToMain([this, file] { alerts_.announceEngineDownload(file); });
      }) {}

void DownloadServices::saveDataURL(const DataURLDownload& download) {
    const std::string_view bytes(reinterpret_cast<const char*>(download.data.data()),
                                 download.data.size());
    static_cast<void>(saver_.saveDownload(bytes, std::nullopt, download.extension));
}

} // namespace zevra
