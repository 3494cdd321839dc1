#include "base/document_json.h"

#include "base/utf8.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <numeric>
#include <string>
#include <system_error>
#include <utility>

namespace zevra {
namespace {

using Json = nlohmann::json;

// Bytes a string may hold as they are: printable ASCII other than the quote and backslash.
constexpr std::array<bool, 256> makePlainStringBytes() {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x80; ++c) {
        plain[static_cast<std::size_t>(c)] = c != '"' && c != '\\';
    }
    return plain;
}

constexpr std::array<bool, 256> plainStringBytes = makePlainStringBytes();

// Digits before the decimal point of a well-formed number's value (negative for values below
// one), which tells an overflow from an underflow.
long decimalMagnitude(std::string_view number) {
    if (number.starts_with('-')) {
        number.remove_prefix(1);
    }
    const std::size_t exponentAt = number.find_first_of("eE");
    long exponent = 0;
    if (exponentAt != std::string_view::npos) {
        std::string_view digits = number.substr(exponentAt + 1);
        const bool negative = digits.starts_with('-');
        if (digits.starts_with('-') || digits.starts_with('+')) {
            digits.remove_prefix(1);
        }
        // Saturated: a million is enough to tell overflow from underflow.
        exponent = std::accumulate(digits.begin(), digits.end(), 0L, [](long sum, char c) {
            return std::min(sum * 10 + (c - '0'), 1000000L);
        });
        exponent = negative ? -exponent : exponent;
    }
    const std::string_view mantissa = number.substr(0, exponentAt);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos) {
        return 0; // zero
    }
    const long position =
        first < point ? static_cast<long>(point - first) : -static_cast<long>(first - point - 1);
    return position + exponent;
}

// A strict JSON reader (RFC 8259, UTF-8) that builds the library's tree. Documents of 96 MiB
// are mostly long Base64 strings, which it copies in runs instead of byte by byte.
class DocumentReader {
public:
    explicit DocumentReader(std::string_view text) : text_(text) {}

    std::optional<Json> readDocument() {
        // A leading byte-order mark is tolerated, as the platform's readers do.
        if (text_.starts_with("\xef\xbb\xbf")) {
            at_ = 3;
        }
        Json value;
        if (!readValue(value, 0)) {
            return std::nullopt;
        }
        skipWhiteSpace();
        if (at_ != text_.size()) {
            return std::nullopt;
        }
        return value;
    }

private:
    [[nodiscard]] bool atEnd() const { return at_ >= text_.size(); }
    [[nodiscard]] unsigned char peek() const {
        return atEnd() ? 0 : static_cast<unsigned char>(text_[at_]);
    }

    void skipWhiteSpace() {
        while (!atEnd()) {
            const char c = text_[at_];
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
                return;
            }
            ++at_;
        }
    }

    bool consume(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) {
            return false;
        }
        at_ += word.size();
        return true;
    }

    bool readValue(Json& value, std::size_t depth) {
        skipWhiteSpace();
        switch (peek()) {
        case '{':
            return readObject(value, depth + 1);
        case '[':
            return readArray(value, depth + 1);
        case '"': {
            std::string text;
            if (!readString(text)) {
                return false;
            }
            value = std::move(text);
            return true;
        }
        case 't':
            value = true;
            return consume("true");
        case 'f':
            value = false;
            return consume("false");
        case 'n':
            value = nullptr;
            return consume("null");
        default:
            return readNumber(value);
        }
    }

    bool readObject(Json& value, std::size_t depth) {
        if (depth > maximumDocumentNestingDepth) {
            return false;
        }
        ++at_; // "{"
        value = Json::object();
        auto& members = value.get_ref<Json::object_t&>();
        skipWhiteSpace();
        if (peek() == '}') {
            ++at_;
            return true;
        }
        while (true) {
            skipWhiteSpace();
            std::string key;
            if (peek() != '"' || !readString(key)) {
                return false;
            }
            skipWhiteSpace();
            if (peek() != ':') {
                return false;
            }
            ++at_;
            Json member;
            if (!readValue(member, depth)) {
                return false;
            }
            // A repeated key keeps its last value, as other readers of these files do.
            members.insert_or_assign(std::move(key), std::move(member));
            skipWhiteSpace();
            const unsigned char next = peek();
            ++at_;
            if (next == '}') {
                return true;
            }
            if (next != ',') {
                return false;
            }
        }
    }

    bool readArray(Json& value, std::size_t depth) {
        if (depth > maximumDocumentNestingDepth) {
            return false;
        }
        ++at_; // "["
        value = Json::array();
        auto& elements = value.get_ref<Json::array_t&>();
        skipWhiteSpace();
        if (peek() == ']') {
            ++at_;
            return true;
        }
        while (true) {
            Json element;
            if (!readValue(element, depth)) {
                return false;
            }
            elements.push_back(std::move(element));
            skipWhiteSpace();
            const unsigned char next = peek();
            ++at_;
            if (next == ']') {
                return true;
            }
            if (next != ',') {
                return false;
            }
        }
    }

    bool readString(std::string& out) {
        ++at_; // opening quote
        while (true) {
            const std::size_t runStart = at_;
            while (at_ < text_.size() && plainStringBytes[static_cast<unsigned char>(text_[at_])]) {
                ++at_;
            }
            out.append(text_, runStart, at_ - runStart);
            if (atEnd()) {
                return false;
            }
            const unsigned char c = peek();
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c == '\\') {
                if (!readEscape(out)) {
                    return false;
                }
                continue;
            }
            if (c < 0x20 || !readMultiByteCharacter(out)) {
                return false;
            }
        }
    }

    // One well-formed UTF-8 sequence of two to four bytes, copied.
    bool readMultiByteCharacter(std::string& out) {
        const std::size_t length = utf8SequenceLength(text_, at_);
        if (length < 2) {
            return false;
        }
        out.append(text_, at_, length);
        at_ += length;
        return true;
    }

    bool readHexQuad(std::uint32_t& value) {
        if (text_.size() - at_ < 4) {
            return false;
        }
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            value <<= 4;
            if (c >= '0' && c <= '9') {
                value |= static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                value |= static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                value |= static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                return false;
            }
        }
        return true;
    }

    bool readEscape(std::string& out) {
        ++at_; // backslash
        if (atEnd()) {
            return false;
        }
        const char c = text_[at_++];
        switch (c) {
        case '"':
        case '\\':
        case '/':
            out.push_back(c);
            return true;
        case 'b':
            out.push_back('\b');
            return true;
        case 'f':
            out.push_back('\f');
            return true;
        case 'n':
            out.push_back('\n');
            return true;
        case 'r':
            out.push_back('\r');
            return true;
        case 't':
            out.push_back('\t');
            return true;
        case 'u':
            return readUnicodeEscape(out);
        default:
            return false;
        }
    }

    // \uXXXX, with surrogate pairs joined; a lone surrogate is not text.
    bool readUnicodeEscape(std::string& out) {
        std::uint32_t unit = 0;
        if (!readHexQuad(unit)) {
            return false;
        }
        if (unit >= 0xdc00 && unit <= 0xdfff) {
            return false;
        }
        if (unit >= 0xd800 && unit <= 0xdbff) {
            std::uint32_t low = 0;
            if (!consume("\\u") || !readHexQuad(low) || low < 0xdc00 || low > 0xdfff) {
                return false;
            }
            unit = 0x10000 + ((unit - 0xd800) << 10) + (low - 0xdc00);
        }
        appendUtf8(out, static_cast<char32_t>(unit));
        return true;
    }

    void skipDigits() {
        while (peek() >= '0' && peek() <= '9') {
            ++at_;
        }
    }

    // Integers that fit 64 bits stay integers; everything else becomes a double.
    bool readNumber(Json& value) {
        const std::size_t start = at_;
        if (peek() == '-') {
            ++at_;
        }
        if (peek() == '0') {
            ++at_;
        } else if (peek() >= '1' && peek() <= '9') {
            skipDigits();
        } else {
            return false;
        }
        bool integral = true;
        if (peek() == '.') {
            integral = false;
            ++at_;
            const std::size_t digitsStart = at_;
            skipDigits();
            if (at_ == digitsStart) {
                return false;
            }
        }
        if (peek() == 'e' || peek() == 'E') {
            integral = false;
            ++at_;
            if (peek() == '+' || peek() == '-') {
                ++at_;
            }
            const std::size_t digitsStart = at_;
            skipDigits();
            if (at_ == digitsStart) {
                return false;
            }
        }
        const char* first = text_.data() + start;
        const char* last = text_.data() + at_;
        if (integral) {
            if (*first == '-') {
                std::int64_t number = 0;
                if (std::from_chars(first, last, number).ec == std::errc()) {
                    value = number;
                    return true;
                }
            } else {
                std::uint64_t number = 0;
                if (std::from_chars(first, last, number).ec == std::errc()) {
                    value = number;
                    return true;
                }
            }
        }
        double number = 0;
        const auto result = std::from_chars(first, last, number);
        if (result.ec == std::errc::result_out_of_range) {
            // Too small reads as zero, like every other reader; too large would be infinite.
            if (decimalMagnitude(std::string_view(first, last)) > 0) {
                return false;
            }
            value = *first == '-' ? -0.0 : 0.0;
            return true;
        }
        if (result.ec != std::errc() || result.ptr != last) {
            return false;
        }
        value = number;
        return true;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

} // namespace

std::optional<nlohmann::json> parseDocumentJSON(std::string_view data) {
    try {
        return DocumentReader(data).readDocument();
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace zevra
