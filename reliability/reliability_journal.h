#pragma once

#include "platform/clock.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace zevra {

// Event kinds the application records.
inline constexpr std::string_view uncleanExitDetectedEvent = "unclean_exit_detected";
inline constexpr std::string_view crashLoopSafeStartEvent = "crash_loop_safe_start";

inline constexpr std::size_t maximumJournalEvents = 32;

// The last notable events, oldest first, in "reliability-events.plist": when, kind, detail and
// the app's version. Bookkeeping only: nothing it fails to write stops the app.
class ReliabilityJournal {
public:
    ReliabilityJournal(std::filesystem::path directory, const Clock& clock, std::string version);

    // Appends one event and keeps the last 32. A missing, corrupt or wrongly typed file counts as
    // empty, so it is replaced by one holding the new event.
    void record(std::string_view kind, std::string_view detail) const;
    [[nodiscard]] const std::filesystem::path& eventsURL() const { return eventsURL_; }

private:
    std::filesystem::path directory_;
    std::filesystem::path eventsURL_;
    const Clock& clock_;
    std::string version_;
};

} // namespace zevra
