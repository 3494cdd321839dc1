#include "platform/restore_channel.h"

#include "base/descriptor_io.h"
#include "base/unique_fd.h"
#include "platform/paths.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <utility>

namespace zevra {
namespace {

constexpr const char* channelName = "com.kelmor.zevra.restore-main-window";
constexpr const char* restoreWord = "restore";
// A request is a handful of paths; anything bigger is not ours.
constexpr std::size_t maximumRequestBytes = 1 << 20;

bool fillAddress(const std::filesystem::path& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

// A private folder of our own in the shared /tmp; refuses one planted by somebody else.
std::filesystem::path privateTemporaryFolder() {
    const std::filesystem::path folder =
        "/tmp/com.kelmor.zevra." + std::to_string(getuid()) + ".channel";
    mkdir(folder.c_str(), 0700);
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid() ||
        (info.st_mode & 077) != 0) {
        return {};
    }
    return folder;
}

std::string encode(const RestoreRequest& request) {
    std::string data(restoreWord);
    data.push_back('\0');
    for (const auto& path : request.documentPaths) {
        if (path.empty() || path.find('\0') != std::string::npos) {
            continue;
        }
        data += path;
        data.push_back('\0');
    }
    return data;
}

std::optional<RestoreRequest> decode(const std::string& data) {
    const std::string prefix = std::string(restoreWord) + '\0';
    if (data.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    RestoreRequest request;
    std::size_t start = prefix.size();
    while (start < data.size()) {
        const std::size_t end = data.find('\0', start);
        if (end == std::string::npos) {
            break; // an unterminated tail is a cut-off request: ignore the piece
        }
        request.documentPaths.emplace_back(data.substr(start, end - start));
        start = end + 1;
    }
    return request;
}

bool peerIsThisUser(int fd) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) {
        return false;
    }
    return credentials.uid == getuid();
}

std::string readRequest(int fd) {
    std::string data;
    char buffer[8192];
    while (data.size() <= maximumRequestBytes) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 2000) <= 0) {
            return {};
        }
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n == 0) {
            return data;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return {};
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return {};
}

class SocketRestoreChannelListener final : public RestoreChannelListener {
public:
    SocketRestoreChannelListener(int listening, std::filesystem::path path, Handler handler)
        : listening_(listening), path_(std::move(path)), handler_(std::move(handler)) {
        int wake[2];
        if (pipe2(wake, O_CLOEXEC) == 0) {
            wakeRead_.reset(wake[0]);
            wakeWrite_.reset(wake[1]);
        }
        thread_ = std::thread([this] { serve(); });
    }

    ~SocketRestoreChannelListener() override {
        const char byte = 0;
        if (write(wakeWrite_.get(), &byte, 1) < 0) {
            // The thread also stops when the listening socket goes away below.
        }
        thread_.join();
        unlink(path_.c_str());
    }

private:
    UniqueFd listening_;
    std::filesystem::path path_;
    Handler handler_;
    UniqueFd wakeRead_;
    UniqueFd wakeWrite_;
    std::thread thread_;

    void serve() {
        for (;;) {
            pollfd fds[2] = {{listening_.get(), POLLIN, 0}, {wakeRead_.get(), POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if ((fds[1].revents & (POLLIN | POLLHUP)) != 0) {
                return;
            }
            const UniqueFd client(accept4(listening_.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (client.get() < 0) {
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                    // Out of descriptors: give the system a moment instead of spinning.
                    poll(nullptr, 0, 50);
                }
                continue;
            }
            if (!peerIsThisUser(client.get())) {
                continue;
            }
            if (auto request = decode(readRequest(client.get()))) {
                handler_(*request);
            }
        }
    }
};

} // namespace

std::filesystem::path restoreChannelPath() {
    const auto runtime = runtimeFolder();
    if (runtime != "/tmp") {
        return runtime / channelName;
    }
    const auto folder = privateTemporaryFolder();
    if (folder.empty()) {
        return {};
    }
    return folder / channelName;
}

std::unique_ptr<RestoreChannelListener>
RestoreChannelListener::start(const std::filesystem::path& path, Handler handler) {
    sockaddr_un address{};
    if (path.empty() || !fillAddress(path, address)) {
        return nullptr;
    }
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.get() < 0) {
        return nullptr;
    }
    // Only the copy holding the single-instance lock listens, so a socket left here is stale.
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) && info.st_uid == getuid()) {
        unlink(path.c_str());
    }
    const mode_t previous = umask(077);
    const int bound = bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    umask(previous);
    if (bound != 0 || listen(fd.get(), 8) != 0) {
        return nullptr;
    }
    return std::make_unique<SocketRestoreChannelListener>(fd.release(), path, std::move(handler));
}

bool postRestoreRequest(const std::filesystem::path& path, const RestoreRequest& request) {
    sockaddr_un address{};
    if (path.empty() || !fillAddress(path, address)) {
        return false;
    }
    const UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (fd.get() < 0 ||
        connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return false;
    }
    return writeAll(fd.get(), encode(request));
}

} // namespace zevra
