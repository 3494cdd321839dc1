#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zevra {

// What a second copy asks of the running one: bring the main window back, and open these files.
struct RestoreRequest {
    std::vector<std::string> documentPaths;
};

// The per-user channel "com.kelmor.zevra.restore-main-window": a Unix socket in the user's
// runtime folder. Only this user's processes can reach it (folder and socket are private).
std::filesystem::path restoreChannelPath();

// Listens until destroyed; each request reaches `handler` on the listener's own thread.
class RestoreChannelListener {
public:
    using Handler = std::function<void(const RestoreRequest&)>;
    static std::unique_ptr<RestoreChannelListener> start(const std::filesystem::path& path,
                                                         Handler handler);
    virtual ~RestoreChannelListener() = default;
};

// Posts a request to the running copy; does not wait for it to be handled. False when nobody
// listens.
bool postRestoreRequest(const std::filesystem::path& path, const RestoreRequest& request);

} // namespace zevra
