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

bool hasAtMostCharacters(std::string_view utf8, std::int64_t limit) {
    // A character takes at least one byte, so short text needs no segmentation.
    if (static_cast<std::int64_t>(utf8.size()) <= limit) {
        return unicodeScalars(utf8).has_value();
    }
    const auto count = characterCount(utf8);
    return count && *count <= limit;
}

std::optional<std::string> composedLowerCase(std::string_view utf8) {
    const auto text = utf16(utf8);
    if (!text) {
        return std::nullopt;
    }
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status) || nfc == nullptr) {
        return std::nullopt;
    }
    icu::UnicodeString composed = nfc->normalize(*text, status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    composed.toLower(icu::Locale::getRoot());
    std::string result;
    composed.toUTF8String(result);
    return result;
}

} // namespace zevra
