#pragma once

#include "platform/clock.h"
#include "platform/system_log.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// Puts downloads into the downloads folder under safe, never-reused names.
class DownloadSaver {
public:
    // Called on the saving thread with each file saved.
    using Saved = std::function<void(const std::filesystem::path&)>;

    DownloadSaver(std::filesystem::path folder, const Clock& clock, SystemLog& log, Saved saved);

    // Writes `data` to a new file named after `suggestedName` ("zevra-download." + `extension`
    // without one). Failures go to the system log; false then.
    [[nodiscard]] bool saveDownload(std::string_view data,
                                    const std::optional<std::string>& suggestedName,
                                    std::string_view extension);

    // For downloads the web engine writes itself: a new, empty file for it to fill.
    [[nodiscard]] std::optional<std::filesystem::path>
    reserveDestination(const std::optional<std::string>& suggestedName);

private:
    std::filesystem::path folder_;
    const Clock& clock_;
    SystemLog& log_;
    Saved saved_;
};

} // namespace zevra
