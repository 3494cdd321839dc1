#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

namespace zevra {

inline constexpr const char* preparedExtensionVersionKey = "ZEVRAPreparedExtensionVersion";
inline constexpr const char* dismissedExtensionVersionKey = "ZEVRADismissedExtensionUpdateVersion";

// The user's remembered string settings, kept in one property-list file that each change
// rewrites atomically. Safe from any thread.
class UpdateDefaults {
public:
    explicit UpdateDefaults(std::filesystem::path file) : file_(std::move(file)) {}

    [[nodiscard]] std::optional<std::string> string(const std::string& key) const;
    // False when the file could not be written.
    [[nodiscard]] bool set(const std::string& key, const std::string& value);
    [[nodiscard]] bool remove(const std::string& key);

private:
    const std::filesystem::path file_;
    mutable std::mutex lock_;

    [[nodiscard]] bool change(const std::string& key, const std::optional<std::string>& value);
};

} // namespace zevra
