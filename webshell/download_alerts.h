#pragma once

#include "platform/alert.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <vector>

namespace zevra {

// Tells the user about saved downloads with at most one alert at a time: files saved while an
// alert is open are folded into the next one, so a page saving in a loop cannot pile up alerts.
class DownloadAlerts {
public:
    // Shows a modal alert and returns the index of the button chosen.
    using RunModalAlert = std::function<std::size_t(const AlertDescription&)>;
    // Shows the file in the file manager.
    using RevealFile = std::function<void(const std::filesystem::path&)>;

    DownloadAlerts(RunModalAlert runModalAlert, RevealFile revealFile);

    // Main thread. Returns at once when an alert is already open.
    void announce(const std::filesystem::path& saved);
    // A file the web engine wrote itself; alone it gets the engine's own "Download complete".
    void announceEngineDownload(const std::filesystem::path& saved);

private:
    struct Saved {
        std::filesystem::path file;
        bool byEngine = false;
    };
    RunModalAlert runModalAlert_;
    RevealFile revealFile_;
    bool showing_ = false;
    std::vector<Saved> waiting_;

    void show(Saved saved);
};

// The alert for files saved together: one names its file, several are counted.
[[nodiscard]] AlertDescription savedDownloadsAlert(const std::vector<std::filesystem::path>& files);
// The alert for one finished download of the web engine.
[[nodiscard]] AlertDescription downloadCompleteAlert();

} // namespace zevra
