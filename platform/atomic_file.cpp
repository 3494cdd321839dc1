#include "platform/atomic_file.h"

#include "base/descriptor_io.h"
#include "base/unique_fd.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace zevra {
namespace {

// Removes the temporary file unless it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!kept_) {
            ::unlink(path_.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    void keep() { kept_ = true; }

private:
    std::string path_;
    bool kept_ = false;
};

} // namespace

bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, mode_t mode) {
    std::string temporaryPath = path.string() + ".XXXXXX";
    UniqueFd file(::mkostemp(temporaryPath.data(), O_CLOEXEC));
    if (!file.valid()) {
        return false;
    }
    TemporaryFile temporary(temporaryPath);
    if (!writeAll(file.get(), bytes) || ::fchmod(file.get(), mode) != 0 ||
        ::fsync(file.get()) != 0 || !file.close() ||
        ::rename(temporaryPath.c_str(), path.c_str()) != 0) {
        return false;
    }
    temporary.keep();
    return true;
}

} // namespace zevra
