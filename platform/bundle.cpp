#include "platform/bundle.h"

#include "base/unique_fd.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <unistd.h>

#include <cerrno>

#include <cstdlib>
#include <memory>
#include <system_error>

namespace zevra {
namespace {

// An Info.plist is a few kilobytes; anything past this is not one.
constexpr std::size_t maximumInfoPlistBytes = 1 << 20;

std::optional<std::string> readSmallFile(const std::filesystem::path& path) {
    const UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        return std::nullopt;
    }
    std::string data;
    char buffer[16384];
    for (;;) {
        const ssize_t n = read(fd.get(), buffer, sizeof buffer);
        if (n == 0) {
            return data;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        data.append(buffer, static_cast<std::size_t>(n));
        if (data.size() > maximumInfoPlistBytes) {
            return std::nullopt;
        }
    }
}

} // namespace

std::filesystem::path executablePath() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path{} : path;
}

std::filesystem::path resourcesPathForExecutable(const std::filesystem::path& executable) {
    return executable.parent_path().parent_path() / "Resources";
}

std::filesystem::path infoPlistPathForExecutable(const std::filesystem::path& executable) {
    return executable.parent_path().parent_path() / "Info.plist";
}

std::optional<std::string> infoPlistString(const std::filesystem::path& infoPlist,
                                           const std::string& key) {
    const auto data = readSmallFile(infoPlist);
    if (!data) {
        return std::nullopt;
    }
    plist_t root = nullptr;
    plist_from_memory(data->data(), static_cast<uint32_t>(data->size()), &root);
    const std::unique_ptr<void, void (*)(plist_t)> owner(root, plist_free);
    if (root == nullptr || plist_get_node_type(root) != PLIST_DICT) {
        return std::nullopt;
    }
    plist_t node = plist_dict_get_item(root, key.c_str());
    if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) {
        return std::nullopt;
    }
    char* value = nullptr;
    plist_get_string_val(node, &value);
    if (value == nullptr) {
        return std::nullopt;
    }
    std::string result(value);
    std::free(value);
    return result;
}

std::optional<std::string> mainBundleInfoString(const std::string& key) {
    return infoPlistString(infoPlistPathForExecutable(executablePath()), key);
}

} // namespace zevra
