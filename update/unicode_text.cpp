#include "update/unicode_text.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace zevra {
namespace {

std::optional<icu::UnicodeString> utf16(std::string_view utf8) {
    if (!unicodeScalars(utf8)) {
        return std::nullopt;
    }
    return icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
}

enum class Form { composed, decomposed };

std::optional<icu::UnicodeString> normalized(const icu::UnicodeString& text, Form form) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = form == Form::composed
                                             ? icu::Normalizer2::getNFCInstance(status)
                                             : icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status) || normalizer == nullptr) {
        return std::nullopt;
    }
    icu::UnicodeString result = normalizer->normalize(text, status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    return result;
}

std::optional<icu::UnicodeString> normalizedUTF16(std::string_view utf8, Form form) {
    const auto text = utf16(utf8);
    if (!text) {
        return std::nullopt;
    }
    return normalized(*text, form);
}

std::string utf8Text(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

} // namespace

std::optional<std::u32string> unicodeScalars(std::string_view utf8) {
    std::u32string result;
    result.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int length = 0;
        char32_t scalar = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            length = 1;
            scalar = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            scalar = lead & 0x1F;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            scalar = lead & 0x0F;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            scalar = lead & 0x07;
            minimum = 0x10000;
        } else {
            return std::nullopt;
        }
        if (utf8.size() - i < static_cast<std::size_t>(length)) {
            return std::nullopt;
        }
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            scalar = (scalar << 6) | (next & 0x3F);
        }
        const bool overlong = length > 1 && scalar < minimum;
        const bool surrogate = scalar >= 0xD800 && scalar <= 0xDFFF;
        if (overlong || surrogate || scalar > 0x10FFFF) {
            return std::nullopt;
        }
        result.push_back(scalar);
        i += static_cast<std::size_t>(length);
    }
    return result;
}

std::optional<std::int64_t> characterCount(std::string_view utf8) {
    const auto text = utf16(utf8);
    if (!text) {
        return std::nullopt;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaks(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !breaks) {
        return std::nullopt;
    }
    breaks->setText(*text);
    std::int64_t count = 0;
    for (auto at = breaks->next(); at != icu::BreakIterator::DONE; at = breaks->next()) {
        ++count;
    }
    return count;
}

bool hasAtMostCharacters(std::string_view utf8, std::int64_t limit) {
    // A character takes at least one byte, so short text needs no segmentation.
    if (static_cast<std::int64_t>(utf8.size()) <= limit) {
        return unicodeScalars(utf8).has_value();
    }
    const auto count = characterCount(utf8);
    return count && *count <= limit;
}

bool isDecimalDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string asciiLowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

std::optional<std::string> composedLowerCase(std::string_view utf8) {
    auto composed = normalizedUTF16(utf8, Form::composed);
    if (!composed) {
        return std::nullopt;
    }
    composed->toLower(icu::Locale::getRoot());
    return utf8Text(*composed);
}

std::optional<std::string> canonicalCaseFold(std::string_view utf8) {
    // Decomposed on both sides of the fold: folding a composed character can leave marks out
    // of canonical order, and folded text need not be normalized.
    auto decomposed = normalizedUTF16(utf8, Form::decomposed);
    if (!decomposed) {
        return std::nullopt;
    }
    decomposed->foldCase(U_FOLD_CASE_DEFAULT);
    const auto result = normalized(*decomposed, Form::decomposed);
    if (!result) {
        return std::nullopt;
    }
    return utf8Text(*result);
}

} // namespace zevra
