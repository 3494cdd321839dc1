#include "webshell/download_delegate.h"

#include <system_error>
#include <utility>

namespace zevra {

DownloadDelegate::DownloadDelegate(DownloadSaver& saver, SystemLog& log, Finished finished)
    : saver_(saver), log_(log), finished_(std::move(finished)) {}

std::optional<std::filesystem::path> DownloadDelegate::destination(const DownloadRequest& request) {
    std::optional<std::string> name;
    if (!request.suggestedFilename.empty()) {
        name = request.suggestedFilename;
    }
    return saver_.reserveDestination(name);
}

void DownloadDelegate::finished(const std::filesystem::path& file) {
    finished_(file);
}

void DownloadDelegate::failed(const DownloadFailure& failure) {
    // The file was claimed for this download alone; what it holds now is at most a part.
    if (!failure.destination.empty()) {
        std::error_code ignored;
        std::filesystem::remove(failure.destination, ignored);
    }
    if (!failure.cancelled) {
        log_.write("Download failed: " + failure.description);
    }
}

} // namespace zevra
