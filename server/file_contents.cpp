#include "server/file_contents.h"

#include "server/unique_fd.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace zevra {

std::optional<FileContents> FileContents::read(const std::filesystem::path& file) {
    // Non-blocking open so a named pipe put in place of a file cannot stall the worker.
    const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    FileContents contents;
    // One byte more than the size, so a file that has not grown ends in the first buffer.
    if (!contents.reserve(static_cast<std::size_t>(status.st_size) + 1)) {
        return std::nullopt;
    }
    for (;;) {
        if (contents.size_ == contents.capacity_ && !contents.reserve(contents.capacity_ * 2)) {
            return std::nullopt;
        }
        const ssize_t n =
            ::read(fd.get(), contents.data_ + contents.size_, contents.capacity_ - contents.size_);
        if (n == 0) {
            return contents;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        contents.size_ += static_cast<std::size_t>(n);
    }
}

bool FileContents::reserve(std::size_t capacity) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    capacity = (capacity + page - 1) / page * page;
    void* grown = data_ == nullptr ? ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE,
                                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                                   : ::mremap(data_, capacity_, capacity, MREMAP_MAYMOVE);
    if (grown == MAP_FAILED) {
        return false;
    }
    data_ = static_cast<char*>(grown);
    capacity_ = capacity;
    return true;
}

void FileContents::release() {
    if (data_ != nullptr) {
        ::munmap(data_, capacity_);
    }
    data_ = nullptr;
    capacity_ = 0;
    size_ = 0;
}

FileContents::FileContents(FileContents&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), capacity_(std::exchange(other.capacity_, 0)),
      size_(std::exchange(other.size_, 0)) {}

FileContents& FileContents::operator=(FileContents&& other) noexcept {
    if (this != &other) {
        release();
        data_ = std::exchange(other.data_, nullptr);
        capacity_ = std::exchange(other.capacity_, 0);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

FileContents::~FileContents() {
    release();
}

} // namespace zevra
