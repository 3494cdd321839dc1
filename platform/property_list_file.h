#pragma once

#include "platform/clock.h"

#include <plist/plist.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace zevra {

struct PropertyListFree {
    void operator()(plist_t node) const { plist_free(node); }
};

// Owns one property-list tree.
using PropertyList = std::unique_ptr<void, PropertyListFree>;

// The tree held by a small regular file (XML or binary); null when the file is missing, too
// large or no property list.
[[nodiscard]] PropertyList readPropertyList(const std::filesystem::path& path);

// Writes `root` in XML form to a temporary file in the same folder and renames it over `path`,
// so a reader finds the old file or the new one, never part of one.
[[nodiscard]] bool writePropertyListAtomically(const std::filesystem::path& path, plist_t root);

[[nodiscard]] plist_t newDateNode(TimePoint time);
// Absent when `node` is null or of another type.
[[nodiscard]] std::optional<TimePoint> dateValue(plist_t node);
[[nodiscard]] std::optional<std::string> stringValue(plist_t node);
[[nodiscard]] std::optional<std::uint64_t> integerValue(plist_t node);

} // namespace zevra
