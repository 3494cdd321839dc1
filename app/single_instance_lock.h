#pragma once

#include <filesystem>
#include <optional>

namespace zevra {

// "/tmp/com.kelmor.zevra." + decimal real user id + ".lock".
std::filesystem::path singleInstanceLockPath();

// Takes the per-user lock and writes our pid into it. The descriptor is meant to stay open for
// the life of the process: the kernel drops the lock when the process ends.
[[nodiscard]] std::optional<int> acquireZevraSingleInstanceLock();

// The same at another path, for tests.
[[nodiscard]] std::optional<int> acquireSingleInstanceLockAt(const std::filesystem::path& path);

} // namespace zevra
