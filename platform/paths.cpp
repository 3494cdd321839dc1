#include "platform/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace zevra {
namespace {

std::filesystem::path environmentFolder(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return {};
    }
    return value;
}

} // namespace

std::filesystem::path homeFolder() {
    if (auto home = environmentFolder("HOME"); !home.empty()) {
        return home;
    }
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return "/";
}

std::filesystem::path applicationSupportFolder() {
    auto base = environmentFolder("XDG_DATA_HOME");
    if (base.empty()) {
        base = homeFolder() / ".local" / "share";
    }
    return base / "ZEVRA";
}

std::filesystem::path userConfigFolder() {
    auto base = environmentFolder("XDG_CONFIG_HOME");
    if (base.empty()) {
        base = homeFolder() / ".config";
    }
    return base / "ZEVRA";
}

std::filesystem::path downloadsFolder() {
    return homeFolder() / "Desktop" / "ZEVRA Downloads";
}

std::filesystem::path runtimeFolder() {
    auto folder = environmentFolder("XDG_RUNTIME_DIR");
    if (folder.empty() || access(folder.c_str(), W_OK | X_OK) != 0) {
        return "/tmp";
    }
    return folder;
}

} // namespace zevra
