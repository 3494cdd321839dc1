#include "base/unicode_text.h"

#include "base/utf8.h"

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

std::string leadingCharacters(std::string_view utf8, std::int64_t count) {
    // A character takes at least one byte.
    if (static_cast<std::int64_t>(utf8.size()) <= count) {
        return utf8WithReplacement(utf8);
    }
    const std::string valid = utf8WithReplacement(utf8);
    const auto text = utf16(valid);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaks(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (!text || U_FAILURE(status) || !breaks) {
        return valid;
    }
    breaks->setText(*text);
    int32_t end = 0;
    for (std::int64_t taken = 0; taken < count; ++taken) {
        const int32_t next = breaks->next();
        if (next == icu::BreakIterator::DONE) {
            return valid;
        }
        end = next;
    }
    return utf8Text(text->tempSubString(0, end));
}

bool hasAtMostCharacters(std::string_view utf8, std::int64_t limit) {
    // A character takes at least one byte, so short text needs no segmentation.
    if (static_cast<std::int64_t>(utf8.size()) <= limit) {
        return unicodeScalars(utf8).has_value();
    }
    const auto count = characterCount(utf8);
    return count && *count <= limit;
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
