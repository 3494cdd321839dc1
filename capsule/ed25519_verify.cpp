#include "capsule/ed25519_verify.h"

#include <memory>

#include <openssl/evp.h>

namespace zevra {
namespace {

constexpr std::size_t publicKeyBytes = 32;
constexpr std::size_t signatureBytes = 64;

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

const unsigned char* bytesOf(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

} // namespace

bool verifyEd25519(std::string_view publicKey, std::string_view message,
                   std::string_view signature) {
    if (publicKey.size() != publicKeyBytes || signature.size() != signatureBytes) {
        return false;
    }
    const std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, bytesOf(publicKey), publicKey.size()));
    const std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    if (!key || !context) {
        return false;
    }
    if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
        return false;
    }
    return EVP_DigestVerify(context.get(), bytesOf(signature), signature.size(), bytesOf(message),
                            message.size()) == 1;
}

} // namespace zevra
