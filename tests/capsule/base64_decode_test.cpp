#include "capsule/base64_decode.h"

#include <string>

#include <gtest/gtest.h>
#include <openssl/evp.h>

namespace zevra {
namespace {

std::optional<std::string> decodedText(std::string_view text) {
    const auto bytes = decodeBase64Strict(text);
    if (!bytes) {
        return std::nullopt;
    }
    return std::string(bytes->begin(), bytes->end());
}

TEST(Base64DecodeTest, AcceptsOnlyStrictStandardText) {
    const std::pair<std::string_view, std::optional<std::string>> cases[] = {
        {"", std::string()},
        {"Zg==", std::string("f")},
        {"Zm8=", std::string("fo")},
        {"Zm9v", std::string("foo")},
        {"Zm9vYmFy", std::string("foobar")},
        {"+/+/", std::string("\xfb\xff\xbf")},
        {"Zg", std::nullopt},       // unpadded
        {"Zg=", std::nullopt},      // length not a multiple of 4
        {"Z===", std::nullopt},     // three padding characters
        {"Zg==Zm9v", std::nullopt}, // padding in the middle
        {"Zm9v\n", std::nullopt},   // white space
        {"-_-_", std::nullopt},     // URL-safe alphabet
        {"=AAA", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(decodedText(text), expected) << text;
    }
}

TEST(Base64DecodeTest, DeliversLargeTextsInOrderAcrossChunks) {
    // 100,001 bytes: several chunks and a padded tail.
    std::string bytes;
    for (int i = 0; i < 100001; ++i) {
        bytes.push_back(static_cast<char>((i * 7919) & 0xff));
    }
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    text.resize(static_cast<std::size_t>(EVP_EncodeBlock(
        reinterpret_cast<unsigned char*>(text.data()),
        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()))));
    std::string received;
    int chunks = 0;
    ASSERT_TRUE(decodeBase64Strict(text, [&](const unsigned char* data, std::size_t count) {
        received.append(reinterpret_cast<const char*>(data), count);
        ++chunks;
    }));
    EXPECT_EQ(received, bytes);
    EXPECT_GT(chunks, 2);
}

TEST(Base64DecodeTest, AlphabetCheckAllowsOnlyBase64Characters) {
    EXPECT_TRUE(isBase64AlphabetText("QUJD+/=="));
    EXPECT_FALSE(isBase64AlphabetText("QUJD'"));
}

} // namespace
} // namespace zevra
