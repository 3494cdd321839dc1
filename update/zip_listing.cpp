#include "update/zip_listing.h"

#include "base/ascii.h"
#include "base/unicode_text.h"
#include "update/archive_entry_name.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace zevra {
namespace {

std::vector<std::string_view> nonEmptyLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto feed = text.find('\n');
        const auto line = text.substr(0, feed);
        if (!line.empty()) {
            lines.push_back(line);
        }
        if (feed == std::string_view::npos) {
            break;
        }
        text.remove_prefix(feed + 1);
    }
    return lines;
}

bool isListingSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// "^[?bcdlps-][rwxStTs-]{9}\s"
bool isEntryLine(std::string_view line) {
    constexpr std::string_view types = "?bcdlps-";
    constexpr std::string_view modes = "rwxStTs-";
    if (line.size() < 11 || types.find(line[0]) == std::string_view::npos) {
        return false;
    }
    for (std::size_t i = 1; i <= 9; ++i) {
        if (modes.find(line[i]) == std::string_view::npos) {
            return false;
        }
    }
    return isListingSpace(line[10]);
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> result;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isListingSpace(line[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && !isListingSpace(line[i])) {
            ++i;
        }
        if (i > start) {
            result.push_back(line.substr(start, i - start));
        }
    }
    return result;
}

std::optional<std::int64_t> decimalSize(std::string_view text) {
    if (text.empty() || !isDecimalDigits(text)) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string_view trimmedSlashes(std::string_view name) {
    while (!name.empty() && name.front() == '/') {
        name.remove_prefix(1);
    }
    while (!name.empty() && name.back() == '/') {
        name.remove_suffix(1);
    }
    return name;
}

// The type letter agrees with the name: directories end in "/", files do not.
bool entryTypeMatchesName(char type, bool directoryName) {
    switch (type) {
    case '-':
        return !directoryName;
    case 'd':
        return directoryName;
    case '?':
        return true;
    default:
        return false;
    }
}

// Field 5 ends in "-" only without an extra field or a data descriptor; the method (field 7)
// must be stored or deflated.
bool entryFieldsAreSafe(const std::vector<std::string_view>& entryFields,
                        std::int64_t maxMemberBytes, std::int64_t& size) {
    if (entryFields.size() < 7) {
        return false;
    }
    const auto parsed = decimalSize(entryFields[3]);
    if (!parsed || *parsed > maxMemberBytes) {
        return false;
    }
    size = *parsed;
    if (entryFields[4].back() != '-') {
        return false;
    }
    const auto method = entryFields[6];
    return method == "stor" || method.substr(0, 3) == "def";
}

// The keys of every entry under one comparison (lower case, or case fold): no two alike, and
// no file standing where another entry needs a parent folder.
class EntryKeys {
public:
    [[nodiscard]] bool add(std::optional<std::string> key, bool isFile) {
        if (!key || key->empty() || all_.count(*key) != 0) {
            return false;
        }
        if (isFile) {
            files_.insert(*key);
        }
        all_.insert(std::move(*key));
        return true;
    }

    [[nodiscard]] bool noFileIsAParent() const {
        return std::none_of(all_.begin(), all_.end(),
                            [this](const std::string& key) { return hasFileParent(key); });
    }

private:
    bool hasFileParent(std::string_view key) const {
        std::string prefix;
        while (true) {
            const auto slash = key.find('/');
            if (slash == std::string_view::npos) {
                return false;
            }
            const auto piece = key.substr(0, slash);
            key.remove_prefix(slash + 1);
            if (piece.empty()) {
                continue;
            }
            if (!prefix.empty()) {
                prefix.push_back('/');
            }
            prefix.append(piece);
            if (!key.empty() && files_.count(prefix) != 0) {
                return true;
            }
        }
    }

    std::unordered_set<std::string> all_;
    std::unordered_set<std::string> files_;
};

} // namespace

bool zipListingIsSafe(std::string_view names, std::string_view longListing, std::int64_t maxEntries,
                      std::int64_t maxUncompressedBytes, std::int64_t maxMemberBytes) {
    const auto entryNames = nonEmptyLines(names);
    if (entryNames.empty() || static_cast<std::int64_t>(entryNames.size()) > maxEntries) {
        return false;
    }
    const auto listingLines = nonEmptyLines(longListing);
    std::vector<std::string_view> entryLines;
    std::copy_if(listingLines.begin(), listingLines.end(), std::back_inserter(entryLines),
                 isEntryLine);
    if (entryLines.size() != entryNames.size()) {
        return false;
    }

    // Lower case alone lets "straße"/"strasse" and final/medial sigma through as different
    // names; a case-insensitive file system may not, so the case fold must differ as well.
    EntryKeys lowered;
    EntryKeys folded;
    std::int64_t total = 0;
    for (std::size_t i = 0; i < entryNames.size(); ++i) {
        const auto name = entryNames[i];
        if (!archiveEntryNameIsSafe(name)) {
            return false;
        }
        const bool directoryName = name.back() == '/';
        if (!entryTypeMatchesName(entryLines[i][0], directoryName)) {
            return false;
        }
        std::int64_t size = 0;
        if (!entryFieldsAreSafe(fields(entryLines[i]), maxMemberBytes, size)) {
            return false;
        }
        if (__builtin_add_overflow(total, size, &total) || total > maxUncompressedBytes) {
            return false;
        }
        const auto trimmed = trimmedSlashes(name);
        if (!lowered.add(composedLowerCase(trimmed), !directoryName) ||
            !folded.add(canonicalCaseFold(trimmed), !directoryName)) {
            return false;
        }
    }
    return lowered.noFileIsAParent() && folded.noFileIsAParent();
}

} // namespace zevra
