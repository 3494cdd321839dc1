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

struct Vector {
    std::string_view publicKey;
    std::string_view message;
    std::string_view signature;
};

// RFC 8032, section 7.1, tests 1 to 3.
constexpr Vector rfc8032Vectors[] = {
    {"d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
     "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e06522490155"
     "5fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b"},
    {"3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
     "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da"
     "085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00"},
    {"fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
     "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac"
     "18ff9b538d16f290ae67f760984dc6594a7c15e9716ed28dc027beceea1ec40a"},
};

TEST(Ed25519VerifyTest, AcceptsTheRfc8032Vectors) {
    for (const Vector& v : rfc8032Vectors) {
        EXPECT_TRUE(verifyEd25519(fromHex(v.publicKey), fromHex(v.message), fromHex(v.signature)))
            << v.publicKey;
    }
}

TEST(Ed25519VerifyTest, RefusesAnyChange) {
    const Vector& v = rfc8032Vectors[2];
    const std::string key = fromHex(v.publicKey);
    const std::string message = fromHex(v.message);
    const std::string signature = fromHex(v.signature);
    std::string flippedSignature = signature;
    flippedSignature[10] = static_cast<char>(flippedSignature[10] ^ 1);
    std::string flippedKey = key;
    flippedKey[0] = static_cast<char>(flippedKey[0] ^ 1);
    EXPECT_FALSE(verifyEd25519(key, message + "x", signature));
    EXPECT_FALSE(verifyEd25519(key, message, flippedSignature));
    EXPECT_FALSE(verifyEd25519(flippedKey, message, signature));
    EXPECT_FALSE(verifyEd25519(key.substr(0, 31), message, signature));
    EXPECT_FALSE(verifyEd25519(key, message, signature.substr(0, 63)));
    EXPECT_FALSE(verifyEd25519(fromHex(rfc8032Vectors[1].publicKey), message, signature));
}

} // namespace
} // namespace zevra
