#include "webshell/download_saver.h"

#include "base/descriptor_io.h"
#include "webshell/data_url_payload.h"
#include "webshell/download_filename.h"
#include "webshell/unique_download_file.h"

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

namespace zevra {
namespace {

std::string failure(int error) {
    return "Download failed: " + std::string(std::strerror(error));
}

} // namespace

DownloadSaver::DownloadSaver(std::filesystem::path folder, const Clock& clock, SystemLog& log,
                             Saved saved)
    : folder_(std::move(folder)), clock_(clock), log_(log), saved_(std::move(saved)) {}

bool DownloadSaver::saveDownload(std::string_view data,
                                 const std::optional<std::string>& suggestedName,
                                 std::string_view extension) {
    if (data.size() > maximumDownloadBytes) {
        log_.write("Download rejected: payload exceeds 100 MB safety limit");
        return false;
    }
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
    auto file =
        createUniqueDownloadFile(folder_, safeDownloadFilename(suggestedName, extension), clock_);
    if (!file) {
        log_.write(failure(errno));
        return false;
    }
    if (!writeAll(file->fd.get(), data) || !file->fd.close()) {
        const int error = errno;
        std::filesystem::remove(file->path, ignored); // no half-written file left behind
        log_.write(failure(error));
        return false;
    }
    saved_(file->path);
    return true;
}

std::optional<std::filesystem::path>
DownloadSaver::reserveDestination(const std::optional<std::string>& suggestedName) {
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
    auto file =
        createUniqueDownloadFile(folder_, safeDownloadFilename(suggestedName, "bin"), clock_);
    if (!file) {
        log_.write(failure(errno));
        return std::nullopt;
    }
    return file->path;
}

} // namespace zevra
