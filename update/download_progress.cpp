#include "update/download_progress.h"

namespace zevra {

DownloadProgress::DownloadProgress(const UpdateEnvironment& environment,
                                   ProgressDescription description)
    : environment_(environment) {
    environment_.postToMain(
        [state = state_, show = environment_.showProgress, description = std::move(description)] {
            state->window = show(description, [state] { state->cancelled = true; });
        });
}

DownloadProgress::~DownloadProgress() {
    environment_.postToMain([state = state_] { state->window.reset(); });
}

TransferProgress DownloadProgress::report() {
    return [state = state_, post = environment_.postToMain](std::int64_t received,
                                                            std::int64_t expected) {
        const int percent = expected > 0 ? static_cast<int>(received * 100 / expected) : -1;
        if (state->shownPercent.exchange(percent) != percent) {
            post([state, percent] {
                if (state->window) {
                    state->window->setProgress(percent < 0 ? -1.0 : percent / 100.0);
                }
            });
        }
        return !state->cancelled;
    };
}

std::optional<ArchiveDownload> downloadWithProgress(const UpdateEnvironment& environment,
                                                    ProgressDescription description,
                                                    const std::string& url, std::string_view sha256,
                                                    std::optional<std::int64_t> bytes,
                                                    const ArchiveLimits& limits) {
    DownloadProgress progress(environment, std::move(description));
    auto download = downloadReleaseArchive(*environment.http, url, environment.temporaryFolder,
                                           sha256, bytes, limits, progress.report());
    if (progress.cancelled()) {
        return std::nullopt;
    }
    return download;
}

} // namespace zevra
