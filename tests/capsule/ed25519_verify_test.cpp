#include "capsule/ed25519_verify.h"

#include <string>

#include <gtest/gtest.h>

namespace zevra {
namespace {

std::string fromHex(std::string_view hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    }
    return bytes;
}

// RFC 8032, section 7.1, test 2, and the key of test 1. Capsules signed by the producer cover
// interoperability and the verdicts; here a valid key that is not the signer's.
TEST(Ed25519VerifyTest, AcceptsTheRfc8032VectorAndRefusesAnyChange) {
    const std::string key =
        fromHex("3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c");
    const std::string otherKey =
        fromHex("d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a");
    const std::string message = fromHex("72");
    const std::string signature =
        fromHex("92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da"
                "085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00");
    EXPECT_TRUE(verifyEd25519(key, message, signature));
    std::string flipped = signature;
    flipped[10] = static_cast<char>(flipped[10] ^ 1);
    EXPECT_FALSE(verifyEd25519(key, message + "x", signature));
    EXPECT_FALSE(verifyEd25519(key, message, flipped));
    EXPECT_FALSE(verifyEd25519(otherKey, message, signature));
}

} // namespace
} // namespace zevra
