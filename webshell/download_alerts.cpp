#include "webshell/download_alerts.h"

#include <utility>

namespace zevra {
namespace {

constexpr std::size_t namesListed = 5;
constexpr std::size_t showButton = 1;

} // namespace

AlertDescription savedDownloadsAlert(const std::vector<std::filesystem::path>& files) {
    AlertDescription alert{.style = AlertStyle::Informational,
                           .message = "Saved to Downloads",
                           .informativeText = {},
                           .buttons = {"OK", "Show in Folder"}};
    if (files.size() > 1) {
        alert.message = "Saved " + std::to_string(files.size()) + " files to Downloads";
    }
    for (std::size_t i = 0; i < files.size() && i < namesListed; ++i) {
        alert.informativeText.append(i == 0 ? "" : "\n").append(files[i].filename().string());
    }
    if (files.size() > namesListed) {
        alert.informativeText.append("\nand " + std::to_string(files.size() - namesListed) +
                                     " more");
    }
    return alert;
}

DownloadAlerts::DownloadAlerts(RunModalAlert runModalAlert, RevealFile revealFile)
    : runModalAlert_(std::move(runModalAlert)), revealFile_(std::move(revealFile)) {}

AlertDescription downloadCompleteAlert() {
    return {.style = AlertStyle::Informational,
            .message = "Download complete",
            .informativeText = "Saved to ~/Desktop/ZEVRA Downloads",
            .buttons = {"OK"}};
}

void DownloadAlerts::announce(const std::filesystem::path& saved) {
    show({saved, false});
}

void DownloadAlerts::announceEngineDownload(const std::filesystem::path& saved) {
    show({saved, true});
}

void DownloadAlerts::show(Saved saved) {
    waiting_.push_back(std::move(saved));
    if (showing_) {
        return; // the open alert's loop picks it up
    }
    showing_ = true;
    while (!waiting_.empty()) {
        const auto batch = std::exchange(waiting_, {});
        if (batch.size() == 1 && batch.front().byEngine) {
            static_cast<void>(runModalAlert_(downloadCompleteAlert()));
            continue;
        }
        std::vector<std::filesystem::path> files;
        for (const Saved& entry : batch) {
            files.push_back(entry.file);
        }
        if (runModalAlert_(savedDownloadsAlert(files)) == showButton) {
            revealFile_(files.back());
        }
    }
    showing_ = false;
}

} // namespace zevra
