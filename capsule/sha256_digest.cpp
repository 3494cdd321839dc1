#include "capsule/sha256_digest.h"

#include <array>

#include <openssl/evp.h>

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
    // An empty text never equals a digest text, so a failed context cannot pass a comparison.
    if (!context_ || EVP_DigestFinal_ex(context_.get(), digest.data(), &length) != 1) {
        context_.reset();
        return {};
    }
    context_.reset();
    constexpr std::string_view hexDigits = "0123456789abcdef";
    std::string hex;
    hex.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        hex.push_back(hexDigits[digest[i] >> 4]);
        hex.push_back(hexDigits[digest[i] & 0x0f]);
    }
    return hex;
}

std::string sha256Hex(std::string_view bytes) {
    Sha256 hash;
    hash.update(bytes.data(), bytes.size());
    return hash.finishHex();
}

std::string sha256DigestText(std::string_view bytes) {
    return std::string(digestTextPrefix) + sha256Hex(bytes);
}

} // namespace zevra
