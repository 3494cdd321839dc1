#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct evp_md_ctx_st;

namespace zevra {

// Incremental SHA-256 through OpenSSL's EVP interface.
class Sha256 {
public:
    Sha256();
    void update(const void* bytes, std::size_t count);
    // The digest as 64 lowercase hexadecimal digits; the object is spent afterwards. Empty when
    // the digest could not be made, so a failure never equals a real digest.
    [[nodiscard]] std::string finishHex();

private:
    struct ContextFree {
        void operator()(evp_md_ctx_st* context) const;
    };
    std::unique_ptr<evp_md_ctx_st, ContextFree> context_;
};

[[nodiscard]] std::string sha256Hex(std::string_view bytes);

// The digest of the file behind the descriptor, from its first byte whatever the descriptor's
// offset (the offset is left alone); nothing when reading fails.
[[nodiscard]] std::optional<std::string> sha256HexOfDescriptor(int fd);

} // namespace zevra
