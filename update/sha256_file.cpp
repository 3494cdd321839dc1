#include "update/sha256_file.h"

#include "base/sha256.h"
#include "base/unique_fd.h"

#include <fcntl.h>

namespace zevra {

std::optional<std::string> sha256File(const std::filesystem::path& file) {
    const UniqueFd input(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!input.valid()) {
        return std::nullopt;
    }
    return sha256HexOfDescriptor(input.get());
}

} // namespace zevra
