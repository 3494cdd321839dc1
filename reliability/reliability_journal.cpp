#include "reliability/reliability_journal.h"

#include "platform/property_list_file.h"

#include <system_error>

namespace zevra {

ReliabilityJournal::ReliabilityJournal(std::filesystem::path directory, const Clock& clock,
                                       std::string version)
    : directory_(std::move(directory)), eventsURL_(directory_ / "reliability-events.plist"),
      clock_(clock), version_(std::move(version)) {}

void ReliabilityJournal::record(std::string_view kind, std::string_view detail) const {
    std::error_code ignored;
    std::filesystem::create_directories(directory_, ignored);

    PropertyList events = readPropertyList(eventsURL_);
    if (!events || plist_get_node_type(events.get()) != PLIST_ARRAY) {
        events.reset(plist_new_array());
    }
    plist_t event = plist_new_dict();
    plist_dict_set_item(event, "occurred_at", newDateNode(clock_.now()));
    plist_dict_set_item(event, "kind", plist_new_string(std::string(kind).c_str()));
    plist_dict_set_item(event, "detail", plist_new_string(std::string(detail).c_str()));
    plist_dict_set_item(event, "version", plist_new_string(version_.c_str()));
    plist_array_append_item(events.get(), event);
    while (plist_array_get_size(events.get()) > maximumJournalEvents) {
        plist_array_remove_item(events.get(), 0);
    }
    static_cast<void>(writePropertyListAtomically(eventsURL_, events.get()));
}

} // namespace zevra
