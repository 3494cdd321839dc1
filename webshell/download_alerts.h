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

private:
    RunModalAlert runModalAlert_;
    RevealFile revealFile_;
    bool showing_ = false;
    std::vector<std::filesystem::path> waiting_;
};

// The alert for files saved together: one names its file, several are counted.
[[nodiscard]] AlertDescription savedDownloadsAlert(const std::vector<std::filesystem::path>& files);

} // namespace zevra
