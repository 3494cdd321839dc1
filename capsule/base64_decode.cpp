#include "capsule/base64_decode.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace zevra {
namespace {

constexpr std::uint8_t invalidSextet = 0xff;
constexpr std::size_t chunkBytes = 48 * 1024; // a multiple of 3

constexpr std::array<std::uint8_t, 256> makeSextetTable() {
    std::array<std::uint8_t, 256> table{};
    table.fill(invalidSextet);
    constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < alphabet.size(); ++i) {
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> sextetTable = makeSextetTable();

std::uint8_t sextet(char c) {
    return sextetTable[static_cast<unsigned char>(c)];
}

std::size_t paddingLength(std::string_view text) {
    if (text.ends_with("==")) {
        return 2;
    }
    return text.ends_with('=') ? 1 : 0;
}

// Decodes one group of four characters that holds no padding.
bool decodeQuad(const char* in, unsigned char* out) {
    const std::uint8_t a = sextet(in[0]);
    const std::uint8_t b = sextet(in[1]);
    const std::uint8_t c = sextet(in[2]);
    const std::uint8_t d = sextet(in[3]);
    // Valid sextets are below 64, so any invalid one shows in the top bits.
    if (((a | b | c | d) & 0xc0) != 0) {
        return false;
    }
    const std::uint32_t bits = (std::uint32_t{a} << 18) | (std::uint32_t{b} << 12) |
                               (std::uint32_t{c} << 6) | std::uint32_t{d};
    out[0] = static_cast<unsigned char>(bits >> 16);
    out[1] = static_cast<unsigned char>(bits >> 8);
    out[2] = static_cast<unsigned char>(bits);
    return true;
}

// The last group, which may end in one or two "=".
bool decodeFinalQuad(std::string_view quad, std::size_t padding, unsigned char* out,
                     std::size_t& produced) {
    if (padding == 0) {
        produced = 3;
        return decodeQuad(quad.data(), out);
    }
    const std::uint8_t a = sextet(quad[0]);
    const std::uint8_t b = sextet(quad[1]);
    const std::uint8_t c = padding == 2 ? 0 : sextet(quad[2]);
    if (a == invalidSextet || b == invalidSextet || c == invalidSextet) {
        return false;
    }
    const std::uint32_t bits =
        (std::uint32_t{a} << 18) | (std::uint32_t{b} << 12) | (std::uint32_t{c} << 6);
    out[0] = static_cast<unsigned char>(bits >> 16);
    out[1] = static_cast<unsigned char>(bits >> 8);
    produced = 3 - padding;
    return true;
}

} // namespace

bool decodeBase64Strict(std::string_view text, const Base64Sink& sink) {
    if (text.size() % 4 != 0) {
        return false;
    }
    if (text.empty()) {
        return true;
    }
    const std::size_t padding = paddingLength(text);
    const std::string_view body = text.substr(0, text.size() - 4);
    std::array<unsigned char, chunkBytes> chunk{};
    std::size_t filled = 0;
    for (std::size_t at = 0; at < body.size(); at += 4) {
        if (!decodeQuad(body.data() + at, chunk.data() + filled)) {
            return false;
        }
        filled += 3;
        if (filled == chunk.size()) {
            sink(chunk.data(), filled);
            filled = 0;
        }
    }
    std::array<unsigned char, 3> last{};
    std::size_t produced = 0;
    if (!decodeFinalQuad(text.substr(body.size()), padding, last.data(), produced)) {
        return false;
    }
    if (filled > 0) {
        sink(chunk.data(), filled);
    }
    sink(last.data(), produced);
    return true;
}

std::optional<std::vector<unsigned char>> decodeBase64Strict(std::string_view text) {
    std::vector<unsigned char> bytes;
    bytes.reserve(text.size() / 4 * 3);
    const bool decoded =
        decodeBase64Strict(text, [&bytes](const unsigned char* data, std::size_t count) {
            bytes.insert(bytes.end(), data, data + count);
        });
    if (!decoded) {
        return std::nullopt;
    }
    return bytes;
}

bool isBase64AlphabetText(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == '=' || sextet(c) != invalidSextet; });
}

} // namespace zevra
