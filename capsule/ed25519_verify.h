#pragma once

#include <string_view>

namespace zevra {

// RFC 8032 Ed25519 over the message as given (not pre-hashed), with a raw 32-byte public key.
// False for a key that is not 32 bytes, a signature that is not 64 bytes, or a mismatch.
[[nodiscard]] bool verifyEd25519(std::string_view publicKey, std::string_view message,
                                 std::string_view signature);

} // namespace zevra
