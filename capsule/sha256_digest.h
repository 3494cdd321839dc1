#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

struct evp_md_ctx_st;

namespace zevra {

// Incremental SHA-256 through OpenSSL's EVP interface.
class Sha256 {
public:
    Sha256();
    void update(const void* bytes, std::size_t count);
    // The digest as 64 lowercase hexadecimal digits; the object is spent afterwards.
    [[nodiscard]] std::string finishHex();

private:
    struct ContextFree {
        void operator()(evp_md_ctx_st* context) const;
    };
    std::unique_ptr<evp_md_ctx_st, ContextFree> context_;
};

[[nodiscard]] std::string sha256Hex(std::string_view bytes);

// "sha256:" followed by the lowercase hexadecimal digest, the form capsules use.
[[nodiscard]] std::string sha256DigestText(std::string_view bytes);

inline constexpr std::string_view digestTextPrefix = "sha256:";

} // namespace zevra
