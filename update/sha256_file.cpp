#include "update/sha256_file.h"

#include "base/sha256.h"

namespace zevra {

std::optional<std::string> sha256File(const std::filesystem::path& file) {
    const auto input = ReadOnlyFile::open(file, ReadOnlyFile::Links::follow);
    if (!input) {
        return std::nullopt;
    }
    return sha256File(*input);
}

std::optional<std::string> sha256File(const ReadOnlyFile& file) {
    return sha256HexOfDescriptor(file.descriptor());
}

} // namespace zevra
