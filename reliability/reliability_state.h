#pragma once

#include "platform/clock.h"
#include "reliability/reliability_journal.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zevra {

// A crash within this long of the crashed run's start counts as rapid.
inline constexpr std::chrono::seconds rapidLaunchWindow{300};
inline constexpr int maximumUncleanLaunches = 99;
// From this many rapid unclean exits in a row a launch is a safe start.
inline constexpr int safeStartThreshold = 3;

// The launch receipt ("recovery.plist": "running" while the app runs, "clean" after an orderly
// exit) and this process's watchdog marker, in `directory`. Every file-system failure is ignored:
// a folder that cannot be made or a corrupt receipt never stops a launch.
class ReliabilityState {
public:
    // `version` is the bundle's short version, or "dev". Touches no file.
    ReliabilityState(std::filesystem::path directory, const Clock& clock, std::string version,
                     int processIdentifier);

    // Classifies the previous run from the receipt, removes stale markers, creates this
    // process's marker and writes a "running" receipt.
    void beginLaunch();
    // Deletes every "watchdog-*.pending" file of the folder.
    void removeStaleWatchdogMarkers() const;
    void write(std::string_view status) const;
    // Removes the marker and writes a "clean" receipt.
    void markClean();

    [[nodiscard]] int consecutiveUncleanLaunches() const { return consecutiveUncleanLaunches_; }
    [[nodiscard]] bool isSafeStart() const {
        return consecutiveUncleanLaunches_ >= safeStartThreshold;
    }
    [[nodiscard]] const std::optional<std::filesystem::path>& markerURL() const {
        return markerURL_;
    }
    [[nodiscard]] int processIdentifier() const { return processIdentifier_; }
    [[nodiscard]] const ReliabilityJournal& journal() const { return journal_; }

private:
    std::filesystem::path directory_;
    std::filesystem::path receiptURL_;
    std::optional<std::filesystem::path> markerURL_;
    int consecutiveUncleanLaunches_ = 0;
    const Clock& clock_;
    std::string version_;
    int processIdentifier_;
    ReliabilityJournal journal_;

    // The count the previous run leaves behind; 0 when it ended cleanly or left no receipt.
    [[nodiscard]] int countAfterPreviousRun() const;
};

} // namespace zevra
