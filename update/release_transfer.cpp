#include "update/release_transfer.h"

#include "base/ascii.h"
#include "base/descriptor_io.h"
#include "base/unique_fd.h"
#include "update/downloaded_archive_error.h"

#include <chrono>
#include <cstdlib>
#include <memory>

#include <fcntl.h>

#include <unistd.h>

namespace zevra {

ReleaseFetch fetchRelease(HttpClient& http, const std::string& url, std::int64_t maxBytes,
                          TransferProgress progress) {
    using namespace std::chrono_literals;
    const HttpClientRequest request{"GET",
                                    url,
                                    {{"Cache-Control", "no-cache"}, {"Pragma", "no-cache"}},
                                    "",
                                    30s,
                                    true,
                                    maxBytes,
                                    std::move(progress)};
    auto result = http.exchange(request);
    const auto& answer = result.response;
    if (!answer) {
        return {std::nullopt, std::nullopt, std::move(result.failure)};
    }
    ReleaseResponse response{answer->status, url, std::nullopt};
    for (const auto& [name, value] : answer->headers) {
        if (asciiLowerCase(name) == "content-type") {
            response.mimeType = value;
        }
    }
    return {answer->body, response, ""};
}

DownloadedFile::~DownloadedFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

std::unique_ptr<DownloadedFile> saveDownload(const std::string& body,
                                             const std::filesystem::path& folder) {
    std::string name = (folder / "zevra-download.XXXXXX").string();
    const UniqueFd file(::mkostemp(name.data(), O_CLOEXEC));
    if (!file.valid()) {
        return nullptr;
    }
    auto saved = std::make_unique<DownloadedFile>(name);
    if (!writeAll(file.get(), body)) {
        return nullptr;
    }
    return saved;
}

ArchiveDownload downloadReleaseArchive(HttpClient& http, const std::string& url,
                                       const std::filesystem::path& folder, std::string_view sha256,
                                       std::optional<std::int64_t> bytes,
                                       const ArchiveLimits& limits, TransferProgress progress) {
    const auto fetch = fetchRelease(http, url, limits.maxArchiveBytes, std::move(progress));
    if (!fetch.response) {
        return {nullptr, false, fetch.failure};
    }
    auto file = saveDownload(*fetch.body, folder);
    if (!file) {
        return {nullptr, false, "No update archive was produced."};
    }
    if (auto message =
            downloadedArchiveError(file->path(), fetch.response, url, sha256, bytes, limits)) {
        return {nullptr, true, std::move(*message)};
    }
    return {std::move(file), false, ""};
}

} // namespace zevra
