#include "app/document_file_contents.h"

#include "base/descriptor_io.h"
#include "base/unique_fd.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace zevra {
namespace {

// Opens without waiting on a FIFO's writer or a device, and keeps only regular files; the
// descriptor then reads as an ordinary blocking one.
UniqueFd openRegularDocument(const std::filesystem::path& path, struct stat& info) {
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!file.valid()) {
        return {};
    }
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        return {};
    }
    const int flags = ::fcntl(file.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return {};
    }
    return file;
}

// Remote and user-space file systems can change or vanish under a mapping.
bool isLocalFileSystem(int descriptor) {
    struct statfs info {};
    if (::fstatfs(descriptor, &info) != 0) {
        return false;
    }
    constexpr std::array<unsigned long, 10> remoteTypes = {
        0x6969,     // NFS
        0x517b,     // SMB
        0xff534d42, // CIFS
        0xfe534d42, // SMB2
        0x65735546, // FUSE
        0x73757245, // Coda
        0x5346414f, // AFS
        0x01021997, // 9P
        0x00c36400, // Ceph
        0x47504653, // GPFS
    };
    const auto type = static_cast<unsigned long>(info.f_type);
    return std::find(remoteTypes.begin(), remoteTypes.end(), type) == remoteTypes.end();
}

} // namespace

std::optional<DocumentFileContents> DocumentFileContents::open(const std::filesystem::path& path,
                                                               std::uint64_t maximumBytes) {
    // The type and size are taken from the opened descriptor, so a file swapped after the check
    // is not read.
    struct stat info {};
    const UniqueFd file = openRegularDocument(path, info);
    if (!file.valid()) {
        return std::nullopt;
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > maximumBytes) {
        return std::nullopt;
    }
    DocumentFileContents contents;
    if (size == 0) {
        return contents;
    }
    if (isLocalFileSystem(file.get())) {
        void* mapping = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file.get(), 0);
        if (mapping != MAP_FAILED) {
            contents.mapping_ = mapping;
            contents.mappedBytes_ = size;
            return contents;
        }
    }
    contents.readBytes_.resize(size);
    if (!readExactly(file.get(), contents.readBytes_.data(), size)) {
        return std::nullopt;
    }
    return contents;
}

DocumentFileContents::DocumentFileContents(DocumentFileContents&& other) noexcept
    : mapping_(std::exchange(other.mapping_, nullptr)),
      mappedBytes_(std::exchange(other.mappedBytes_, 0)), readBytes_(std::move(other.readBytes_)) {}

DocumentFileContents& DocumentFileContents::operator=(DocumentFileContents&& other) noexcept {
    if (this != &other) {
        release();
        mapping_ = std::exchange(other.mapping_, nullptr);
        mappedBytes_ = std::exchange(other.mappedBytes_, 0);
        readBytes_ = std::move(other.readBytes_);
    }
    return *this;
}

DocumentFileContents::~DocumentFileContents() {
    release();
}

void DocumentFileContents::release() {
    if (mapping_ != nullptr) {
        ::munmap(mapping_, mappedBytes_);
        mapping_ = nullptr;
        mappedBytes_ = 0;
    }
    readBytes_.clear();
}

std::string_view DocumentFileContents::bytes() const {
    if (mapping_ != nullptr) {
        return {static_cast<const char*>(mapping_), mappedBytes_};
    }
    return readBytes_;
}

} // namespace zevra
