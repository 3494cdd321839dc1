#include "base/sha256.h"

#include "base/hex.h"

#include <openssl/evp.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <span>
#include <vector>

namespace zevra {

void Sha256::ContextFree::operator()(evp_md_ctx_st* context) const {
    EVP_MD_CTX_free(context);
}

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
    if (context_ && EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1) {
        context_.reset();
    }
}

void Sha256::update(const void* bytes, std::size_t count) {
    if (context_ && EVP_DigestUpdate(context_.get(), bytes, count) != 1) {
        context_.reset();
    }
}

std::string Sha256::finishHex() {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (!context_ || EVP_DigestFinal_ex(context_.get(), digest.data(), &length) != 1) {
        context_.reset();
        return {};
    }
    context_.reset();
    return lowercaseHex(std::span(digest.data(), length));
}

std::string sha256Hex(std::string_view bytes) {
    Sha256 hash;
    hash.update(bytes.data(), bytes.size());
    return hash.finishHex();
}

std::optional<std::string> sha256HexOfDescriptor(int fd) {
    constexpr std::size_t chunkBytes = 1 << 20;
    std::vector<char> buffer(chunkBytes);
    Sha256 hash;
    off_t offset = 0;
    for (;;) {
        const ssize_t count = ::pread(fd, buffer.data(), buffer.size(), offset);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            return std::nullopt;
        }
        if (count == 0) {
            break;
        }
        hash.update(buffer.data(), static_cast<std::size_t>(count));
        offset += count;
    }
    auto hex = hash.finishHex();
    if (hex.empty()) {
        return std::nullopt;
    }
    return hex;
}

} // namespace zevra
