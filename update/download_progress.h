#pragma once

#include "update/release_transfer.h"
#include "update/update_environment.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>

namespace zevra {

// A progress window for a download running on a transfer thread: opened on the main thread when
// this is made, fed as bytes arrive, closed when this goes. Cancel in the window makes the
// download's progress report ask for a stop.
class DownloadProgress {
public:
    DownloadProgress(const UpdateEnvironment& environment, ProgressDescription description);
    ~DownloadProgress();
    DownloadProgress(const DownloadProgress&) = delete;
    DownloadProgress& operator=(const DownloadProgress&) = delete;

    // For the download's request; called on the transfer thread.
    [[nodiscard]] TransferProgress report();
    [[nodiscard]] bool cancelled() const { return state_->cancelled; }

private:
    struct State {
        std::atomic<bool> cancelled = false;
        // Whole percent last shown, so the main thread gets one update a percent at most.
        std::atomic<int> shownPercent = -2;
        std::unique_ptr<ProgressWindow> window; // main thread only
    };
    const UpdateEnvironment& environment_;
    const std::shared_ptr<State> state_ = std::make_shared<State>();
};

// downloadReleaseArchive with a progress window titled by `description`; nothing when the user
// cancelled.
[[nodiscard]] std::optional<ArchiveDownload>
downloadWithProgress(const UpdateEnvironment& environment, ProgressDescription description,
                     const std::string& url, std::string_view sha256,
                     std::optional<std::int64_t> bytes, const ArchiveLimits& limits);

} // namespace zevra
