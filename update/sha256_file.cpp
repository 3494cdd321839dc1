#include "update/sha256_file.h"

#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

namespace zevra {
namespace {

constexpr std::size_t chunkBytes = 1048576;

struct DigestContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

} // namespace

std::optional<std::string> sha256File(const std::filesystem::path& file) {
    const auto input = ReadOnlyFile::open(file, ReadOnlyFile::Links::follow);
    if (!input) {
        return std::nullopt;
    }
    return sha256File(*input);
}

std::optional<std::string> sha256File(const ReadOnlyFile& file) {
    const std::unique_ptr<EVP_MD_CTX, DigestContextFree> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        return std::nullopt;
    }
    std::vector<unsigned char> buffer(chunkBytes);
    off_t offset = 0;
    while (true) {
        const ssize_t count = pread(file.descriptor(), buffer.data(), buffer.size(), offset);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return std::nullopt;
        }
        if (count == 0) {
            break;
        }
        if (EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(count)) != 1) {
            return std::nullopt;
        }
        offset += count;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &digestLength) != 1) {
        return std::nullopt;
    }
    std::string hex;
    hex.reserve(digestLength * 2);
    for (unsigned int i = 0; i < digestLength; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex.append(pair, 2);
    }
    return hex;
}

} // namespace zevra
