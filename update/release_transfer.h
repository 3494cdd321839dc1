#pragma once

#include "platform/http_client.h"
#include "update/release_limits.h"
#include "update/release_response.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// What a release request brought back. `response` is absent when no HTTP answer arrived, and
// `failure` then says why in words for the user.
struct ReleaseFetch {
    std::optional<std::string> body;
    std::optional<ReleaseResponse> response;
    std::string failure;
};

// Reports a download's progress (bytes so far, announced length or -1); false cancels it.
using TransferProgress = std::function<bool(std::int64_t, std::int64_t)>;

// A GET of a release file that bypasses every cache and gives up when nothing arrives for 30
// seconds or the body grows beyond `maxBytes`. Redirects are not followed, so the response
// names the URL asked for.
[[nodiscard]] ReleaseFetch fetchRelease(HttpClient& http, const std::string& url,
                                        std::int64_t maxBytes, TransferProgress progress = {});

// A manifest is fetched up to this size; acceptance then applies the real limit.
inline constexpr std::int64_t manifestTransferMaxBytes = 1048576;

// A downloaded file that is removed when this goes.
class DownloadedFile {
public:
    explicit DownloadedFile(std::filesystem::path path) : path_(std::move(path)) {}
    ~DownloadedFile();
    DownloadedFile(const DownloadedFile&) = delete;
    DownloadedFile& operator=(const DownloadedFile&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Writes a fetched body to a new private file in `folder`; null when it could not be written.
[[nodiscard]] std::unique_ptr<DownloadedFile> saveDownload(const std::string& body,
                                                           const std::filesystem::path& folder);

// A release archive fetched into a private file in `folder` and verified against the manifest's
// digest and size and the limits; on failure `file` is null and `message` is for the user.
struct ArchiveDownload {
    std::unique_ptr<DownloadedFile> file;
    bool verificationFailed = false; // else the download itself failed
    std::string message;
};
[[nodiscard]] ArchiveDownload downloadReleaseArchive(HttpClient& http, const std::string& url,
                                                     const std::filesystem::path& folder,
                                                     std::string_view sha256,
                                                     std::optional<std::int64_t> bytes,
                                                     const ArchiveLimits& limits,
                                                     TransferProgress progress = {});

} // namespace zevra
