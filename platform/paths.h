#pragma once

#include <filesystem>

namespace zevra {

// The user's home folder, from HOME (falling back to the password database).
std::filesystem::path homeFolder();

// "$XDG_DATA_HOME/ZEVRA", by default "~/.local/share/ZEVRA". Not created here.
std::filesystem::path applicationSupportFolder();

// "$XDG_CONFIG_HOME/ZEVRA", by default "~/.config/ZEVRA". Not created here.
std::filesystem::path userConfigFolder();

// "~/Desktop/ZEVRA Downloads", expanded.
std::filesystem::path downloadsFolder();

// "$XDG_RUNTIME_DIR" when set and usable, otherwise "/tmp".
std::filesystem::path runtimeFolder();

} // namespace zevra
