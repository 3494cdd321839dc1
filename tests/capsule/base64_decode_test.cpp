#include "capsule/base64_decode.h"

#include <string>

#include <gtest/gtest.h>
#include <openssl/evp.h>

namespace zevra {
namespace {

TEST(Base64DecodeTest, AcceptsOnlyStrictStandardText) {
    const std::pair<std::string_view, std::string> accepted[] = {
        {"", ""}, {"Zg==", "f"}, {"Zm8=", "fo"}, {"Zm9vYmFy", "foobar"}, {"+/+/", "\xfb\xff\xbf"}};
    for (const auto& [text, expected] : accepted) {
        const auto bytes = decodeBase64Strict(text);
        ASSERT_TRUE(bytes) << text;
        EXPECT_EQ(std::string(bytes->begin(), bytes->end()), expected);
    }
    // Unpadded, bad length, three pads, padding inside, white space, URL-safe alphabet.
    for (const std::string_view text :
         {"Zg", "Zg=", "Z===", "Zg==Zm9v", "=AAA", "Zm9v\n", "-_-_"}) {
        EXPECT_FALSE(decodeBase64Strict(text)) << text;
    }
    EXPECT_TRUE(isBase64AlphabetText("QUJD+/=="));
    EXPECT_FALSE(isBase64AlphabetText("QUJD'"));
}

// 100,001 bytes: several chunks and a padded tail.
TEST(Base64DecodeTest, DeliversLargeTextsInOrderAcrossChunks) {
    std::string bytes(100001, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((i * 7919) & 0xff);
    }
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    text.resize(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                reinterpret_cast<const unsigned char*>(bytes.data()), 100001));
    std::string received;
    int chunks = 0;
    ASSERT_TRUE(decodeBase64Strict(text, [&](const unsigned char* data, std::size_t count) {
        received.append(reinterpret_cast<const char*>(data), count);
        ++chunks;
    }));
    EXPECT_EQ(received, bytes);
    EXPECT_GT(chunks, 2);
}

} // namespace
} // namespace zevra
