#include "platform/property_list_file.h"

#include "base/read_only_file.h"
#include "platform/atomic_file.h"

#include <cstdlib>

namespace zevra {
namespace {

// The lists read here (Info.plist, launch receipts, the journal) are a few kilobytes at most.
constexpr std::size_t maximumPropertyListBytes = 1 << 20;

// Property-list dates count from 2001-01-01 00:00:00 UTC.
constexpr std::chrono::seconds referenceDateOffset{978307200};

} // namespace

PropertyList readPropertyList(const std::filesystem::path& path) {
    const auto data = readRegularFile(path, maximumPropertyListBytes);
    if (!data || data->empty()) {
        return nullptr;
    }
    plist_t root = nullptr;
    plist_from_memory(data->data(), static_cast<uint32_t>(data->size()), &root);
    return PropertyList(root);
}

bool writePropertyListAtomically(const std::filesystem::path& path, plist_t root) {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    const std::unique_ptr<char, void (*)(char*)> text(xml, plist_to_xml_free);
    if (xml == nullptr) {
        return false;
    }
    return writeFileAtomically(path, std::string_view(xml, length));
}

plist_t newDateNode(TimePoint time) {
    const auto sinceReference = std::chrono::duration_cast<std::chrono::microseconds>(
        time.time_since_epoch() - referenceDateOffset);
    const auto seconds = std::chrono::floor<std::chrono::seconds>(sinceReference);
    return plist_new_date(static_cast<int32_t>(seconds.count()),
                          static_cast<int32_t>((sinceReference - seconds).count()));
}

std::optional<TimePoint> dateValue(plist_t node) {
    if (node == nullptr || plist_get_node_type(node) != PLIST_DATE) {
        return std::nullopt;
    }
    int32_t seconds = 0;
    int32_t microseconds = 0;
    plist_get_date_val(node, &seconds, &microseconds);
    return TimePoint{std::chrono::duration_cast<TimePoint::duration>(
        referenceDateOffset + std::chrono::seconds(seconds) +
        std::chrono::microseconds(microseconds))};
}

std::optional<std::string> stringValue(plist_t node) {
    if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) {
        return std::nullopt;
    }
    char* value = nullptr;
    plist_get_string_val(node, &value);
    if (value == nullptr) {
        return std::nullopt;
    }
    std::string result(value);
    std::free(value);
    return result;
}

std::optional<std::uint64_t> integerValue(plist_t node) {
    if (node == nullptr || plist_get_node_type(node) != PLIST_UINT) {
        return std::nullopt;
    }
    uint64_t value = 0;
    plist_get_uint_val(node, &value);
    return value;
}

} // namespace zevra
