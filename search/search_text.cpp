#include "search/search_text.h"

#include "base/ascii.h"
#include "base/read_only_file.h"
#include "base/unicode_text.h"
#include "base/utf8.h"

#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <optional>

namespace zevra {
namespace {

bool isWordCharacter(char32_t c) {
    return (U_GET_GC_MASK(static_cast<UChar32>(c)) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) !=
           0;
}

bool isWhiteSpace(char32_t c) {
    return u_isUWhiteSpace(static_cast<UChar32>(c)) != 0;
}

std::u32string scalarsOf(std::string_view text) {
    if (auto scalars = unicodeScalars(text)) {
        return *std::move(scalars);
    }
    return *unicodeScalars(utf8WithReplacement(text));
}

// Every run of white space as one space.
std::u32string collapsedWhiteSpace(const std::u32string& text) {
    std::u32string collapsed;
    collapsed.reserve(text.size());
    bool inWhiteSpace = false;
    for (const char32_t c : text) {
        const bool space = isWhiteSpace(c);
        if (!space || !inWhiteSpace) {
            collapsed.push_back(space ? U' ' : c);
        }
        inWhiteSpace = space;
    }
    return collapsed;
}

std::string utf8Of(const std::u32string& scalars) {
    std::string text;
    text.reserve(scalars.size());
    for (const char32_t c : scalars) {
        appendUtf8(text, c);
    }
    return text;
}

std::string localDocumentSummary(const std::filesystem::path& file) {
    std::string extension = lowercaseExtension(file);
    std::ranges::transform(extension, extension.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    return "Local " + extension + " document.";
}

} // namespace

std::string lowercaseExtension(const std::filesystem::path& file) {
    const std::string extension = file.extension().string();
    return asciiLowerCase(extension.empty() ? extension : extension.substr(1));
}

std::string normalizedSearchText(std::string_view text) {
    const std::string valid = utf8WithReplacement(text);
    std::string lowered;
    icu::UnicodeString::fromUTF8(icu::StringPiece(valid.data(), static_cast<int32_t>(valid.size())))
        .toLower(icu::Locale::getRoot())
        .toUTF8String(lowered);
    std::string normalized;
    normalized.reserve(lowered.size());
    bool pendingSpace = false;
    const std::u32string scalars = scalarsOf(lowered);
    for (const char32_t c : scalars) {
        if (!isWordCharacter(c)) {
            pendingSpace = !normalized.empty();
            continue;
        }
        if (pendingSpace) {
            normalized.push_back(' ');
            pendingSpace = false;
        }
        appendUtf8(normalized, c);
    }
    return normalized;
}

std::string prettyTitle(std::string_view name) {
    std::u32string spaced = scalarsOf(name);
    std::ranges::replace_if(
        spaced, [](char32_t c) { return c == U'_' || c == U'-' || c == U'(' || c == U')'; }, U' ');
    const std::string collapsed = utf8Of(collapsedWhiteSpace(spaced));
    const std::u32string words = scalarsOf(trimmedWhiteSpaceAndLineBreaks(collapsed));
    if (words.empty()) {
        return std::string(name);
    }
    std::u32string titled;
    titled.reserve(words.size());
    bool wordStart = true;
    for (const char32_t c : words) {
        const auto point = static_cast<UChar32>(c);
        titled.push_back(static_cast<char32_t>(wordStart ? u_totitle(point) : u_tolower(point)));
        wordStart = isWhiteSpace(c);
    }
    return utf8Of(titled);
}

std::string docSummary(const std::filesystem::path& file) {
    const auto contents = readRegularFile(file, largestCatalogueDocument);
    if (!contents || !isValidUtf8(*contents)) {
        return localDocumentSummary(file);
    }
    std::u32string text = collapsedWhiteSpace(*unicodeScalars(*contents));
    std::erase(text, U'#');
    std::erase(text, U'`');
    const std::string collapsed = utf8Of(text);
    const std::string_view trimmed = trimmedWhiteSpaceAndLineBreaks(collapsed);
    if (trimmed.empty()) {
        return localDocumentSummary(file);
    }
    return leadingCharacters(trimmed, 180);
}

} // namespace zevra
