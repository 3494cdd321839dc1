#include "update/archive_entry_name.h"

#include "base/unicode_text.h"
#include "base/utf8.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zevra {
namespace {

constexpr std::int64_t maxNameCharacters = 1024;
constexpr std::size_t maxNamePieces = 32;
constexpr std::int64_t maxPieceCharacters = 255;

std::vector<std::string_view> piecesKeepingEmpty(std::string_view name) {
    std::vector<std::string_view> pieces;
    while (true) {
        const auto slash = name.find('/');
        pieces.push_back(name.substr(0, slash));
        if (slash == std::string_view::npos) {
            return pieces;
        }
        name.remove_prefix(slash + 1);
    }
}

// The listing tools print a control character c as "^" followed by c + 64, so such a pair
// stands for a control character in the stored name.
bool hasEscapedControlCharacter(std::string_view name) {
    for (std::size_t i = 0; i + 1 < name.size(); ++i) {
        if (name[i] == '^' && name[i + 1] >= '@' && name[i + 1] <= '_') {
            return true;
        }
    }
    return false;
}

bool hasControlCharacter(std::string_view name) {
    const auto scalars = unicodeScalars(name);
    if (!scalars) {
        return true;
    }
    const bool control = std::any_of(scalars->begin(), scalars->end(), [](char32_t scalar) {
        return scalar < 0x20 || scalar == 0x7F;
    });
    return control || hasEscapedControlCharacter(name);
}

} // namespace

bool archiveEntryNameIsSafe(std::string_view name) {
    if (name.empty() || !hasAtMostCharacters(name, maxNameCharacters)) {
        return false;
    }
    const auto pieces = piecesKeepingEmpty(name);
    if (pieces.size() > maxNamePieces) {
        return false;
    }
    if (name.front() == '/' || name.find('\\') != std::string_view::npos ||
        name.find("//") != std::string_view::npos) {
        return false;
    }
    if (std::any_of(pieces.begin(), pieces.end(),
                    [](std::string_view piece) { return piece == "." || piece == ".."; })) {
        return false;
    }
    const bool directory = name.back() == '/';
    const std::size_t examined = directory ? pieces.size() - 1 : pieces.size();
    for (std::size_t i = 0; i < examined; ++i) {
        if (pieces[i].empty() || !hasAtMostCharacters(pieces[i], maxPieceCharacters)) {
            return false;
        }
    }
    return !hasControlCharacter(name);
}

} // namespace zevra
