#include "auth/pending_session_handoff_store.h"

#include "base/descriptor_io.h"
#include "base/unique_fd.h"

#include "auth/session_token.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <memory>
#include <string_view>
#include <system_error>

namespace zevra {
namespace {

constexpr const char* fileName = "pending-session-handoff.json";
// Staging writes a temporary file of this name plus six letters or digits, then renames it.
constexpr std::string_view temporaryPrefix = ".pending-session-handoff.";
constexpr const char* schema = "zevra-update-session-handoff-v1";
constexpr std::size_t maximumFileSize = 1024;
constexpr double lifetimeSeconds = 300;
// Allows for the clock stepping between the staging version and the next one.
constexpr double clockSlackSeconds = 5;

double secondsSinceEpoch(TimePoint time) {
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

// Removes a file when the scope ends, however it ends.
class RemoveOnExit {
public:
    explicit RemoveOnExit(std::filesystem::path path) : path_(std::move(path)) {}
    ~RemoveOnExit() {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    RemoveOnExit(const RemoveOnExit&) = delete;
    RemoveOnExit& operator=(const RemoveOnExit&) = delete;
    void keep() { path_.clear(); }

private:
    std::filesystem::path path_;
};

// Gives the owner back read and write access when the umask took it away; a file already at
// 0600 is left untouched.
bool ensurePrivateMode(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return false;
    }
    return (info.st_mode & 07777) == 0600 || ::fchmod(fd, 0600) == 0;
}

bool isTemporaryName(std::string_view name) {
    if (!name.starts_with(temporaryPrefix)) {
        return false;
    }
    const auto suffix = name.substr(temporaryPrefix.size());
    return suffix.size() == 6 && std::all_of(suffix.begin(), suffix.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) != 0;
           });
}

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};

// A staging cut short by the process dying leaves its temporary file, which may hold the
// token. Removes such files when they are regular files of this user.
void removeTemporaryLeftovers(const std::filesystem::path& folder) {
    const std::unique_ptr<DIR, DirectoryCloser> directory(::opendir(folder.c_str()));
    if (directory == nullptr) {
        return;
    }
    const int fd = ::dirfd(directory.get());
    while (const dirent* entry = ::readdir(directory.get())) {
        struct stat info {};
        if (isTemporaryName(entry->d_name) &&
            ::fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_uid == ::getuid()) {
            ::unlinkat(fd, entry->d_name, 0);
        }
    }
}

bool makePrivateFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder.parent_path(), error);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return false;
    }
    // Also tightens a folder that already existed.
    return ::chmod(folder.c_str(), 0700) == 0;
}

// Writes `bytes` to `target` by way of a temporary file that is private from the moment it
// exists, so the token is never readable by others, not even for an instant.
bool writePrivateFileAtomically(const std::filesystem::path& target, const std::string& bytes) {
    std::string pattern = (target.parent_path() / temporaryPrefix).string() + "XXXXXX";
    // mkostemp opens with mode 0600 less the umask: never more than the owner's rights, from
    // the moment the file exists.
    UniqueFd file(::mkostemp(pattern.data(), O_CLOEXEC));
    if (file.get() < 0) {
        return false;
    }
    RemoveOnExit temporary(pattern);
    if (!ensurePrivateMode(file.get()) || !writeAll(file.get(), bytes) ||
        ::fsync(file.get()) != 0 || !file.close()) {
        return false;
    }
    if (::rename(pattern.c_str(), target.c_str()) != 0) {
        return false;
    }
    temporary.keep();
    return true;
}

// Reads the file only when it is a small, regular, private file of ours. The checks run on the
// opened descriptor so the file cannot be swapped between checking and reading.
std::optional<std::string> readPrivateFile(const std::filesystem::path& path) {
    struct stat linkInfo {};
    if (::lstat(path.c_str(), &linkInfo) != 0 || !S_ISREG(linkInfo.st_mode)) {
        return std::nullopt;
    }
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_ino != linkInfo.st_ino || info.st_dev != linkInfo.st_dev) {
        return std::nullopt;
    }
    if (info.st_size < 1 || info.st_size > static_cast<off_t>(maximumFileSize)) {
        return std::nullopt;
    }
    if (info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
        return std::nullopt;
    }
    std::string contents(maximumFileSize + 1, '\0');
    std::size_t filled = 0;
    while (filled < contents.size()) {
        const ssize_t got = ::read(file.get(), contents.data() + filled, contents.size() - filled);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    if (filled < 1 || filled > maximumFileSize) {
        return std::nullopt;
    }
    contents.resize(filled);
    return contents;
}

} // namespace

PendingSessionHandoffStore::PendingSessionHandoffStore(std::filesystem::path folder,
                                                       const Clock& clock)
    : folder_(std::move(folder)), clock_(clock) {}

std::filesystem::path PendingSessionHandoffStore::fileURL() const {
    return folder_ / fileName;
}

bool PendingSessionHandoffStore::stage(const std::string& token,
                                       const std::string& expectedVersion) const {
    if (!isWellFormedSessionToken(token) || !isThreePartVersion(expectedVersion)) {
        return false;
    }
    const nlohmann::json entry = {
        {"schema", schema},
        {"expected_version", expectedVersion},
        {"expires_at", secondsSinceEpoch(clock_.now()) + lifetimeSeconds},
        {"token", token},
    };
    const std::string bytes = entry.dump();
    if (bytes.size() > maximumFileSize) {
        return false;
    }
    if (!makePrivateFolder(folder_) || !writePrivateFileAtomically(fileURL(), bytes)) {
        discard();
        return false;
    }
    return true;
}

std::optional<std::string>
PendingSessionHandoffStore::consume(const std::string& expectedVersion) const {
    removeTemporaryLeftovers(folder_);
    const RemoveOnExit removeFile(fileURL());
    const auto contents = readPrivateFile(fileURL());
    if (!contents.has_value()) {
        return std::nullopt;
    }
    const auto entry = nlohmann::json::parse(*contents, nullptr, false);
    if (!entry.is_object()) {
        return std::nullopt;
    }
    const auto field = [&entry](const char* key) -> const nlohmann::json* {
        const auto found = entry.find(key);
        return found == entry.end() ? nullptr : &*found;
    };
    const auto* schemaValue = field("schema");
    if (schemaValue == nullptr || !schemaValue->is_string() || *schemaValue != schema) {
        return std::nullopt;
    }
    const auto* version = field("expected_version");
    if (version == nullptr || !version->is_string() || *version != expectedVersion) {
        return std::nullopt;
    }
    const auto* expiresAt = field("expires_at");
    if (expiresAt == nullptr || !expiresAt->is_number()) {
        return std::nullopt;
    }
    const double now = secondsSinceEpoch(clock_.now());
    const double expiry = expiresAt->get<double>();
    if (expiry < now || expiry > now + lifetimeSeconds + clockSlackSeconds) {
        return std::nullopt;
    }
    const auto* token = field("token");
    if (token == nullptr || !token->is_string() ||
        !isWellFormedSessionToken(token->get_ref<const std::string&>())) {
        return std::nullopt;
    }
    return token->get<std::string>();
}

void PendingSessionHandoffStore::discard() const {
    ::unlink(fileURL().c_str());
    removeTemporaryLeftovers(folder_);
}

} // namespace zevra
