#include "webshell/unique_download_file.h"

#include "webshell/download_filename.h"

#include <fcntl.h>

#include <cerrno>
#include <ctime>

namespace zevra {
namespace {

// Enough for any burst of saves within one second; past it something else is wrong.
constexpr int maximumCounter = 9999;

std::string localTimeStamp(const Clock& clock) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(clock.now());
    std::tm parts{};
    static_cast<void>(localtime_r(&seconds, &parts));
    char text[32] = {};
    static_cast<void>(std::strftime(text, sizeof text, "%Y-%m-%d-%H%M%S", &parts));
    return text;
}

std::string candidateName(const FilenameParts& parts, const std::string& stamp, int counter) {
    std::string name(parts.stem);
    name.append("-").append(stamp);
    if (counter > 1) {
        name.append("-").append(std::to_string(counter));
    }
    if (!parts.extension.empty()) {
        name.append(".").append(parts.extension);
    }
    return name;
}

// The descriptor of a file made for us alone, or -1 with errno set.
int createExclusive(const std::filesystem::path& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
}

} // namespace

std::optional<UniqueDownloadFile> createUniqueDownloadFile(const std::filesystem::path& folder,
                                                           const std::string& safeName,
                                                           const Clock& clock) {
    std::filesystem::path path = folder / safeName;
    int fd = createExclusive(path);
    if (fd < 0 && errno == EEXIST) {
        const FilenameParts parts = splitFilename(safeName);
        const std::string stamp = localTimeStamp(clock);
        for (int counter = 1; fd < 0 && errno == EEXIST && counter <= maximumCounter; ++counter) {
            path = folder / candidateName(parts, stamp, counter);
            fd = createExclusive(path);
        }
    }
    if (fd < 0) {
        return std::nullopt;
    }
    return UniqueDownloadFile{std::move(path), UniqueFd(fd)};
}

} // namespace zevra
