#include "reliability/reliability_state.h"

#include "base/descriptor_io.h"
#include "base/unique_fd.h"
#include "platform/property_list_file.h"

#include <fcntl.h>

#include <algorithm>
#include <system_error>

namespace zevra {
namespace {

constexpr std::string_view markerPrefix = "watchdog-";
constexpr std::string_view markerContent = "pending\n";

// Writes `content` in place of whatever the file held.
void replaceFile(const std::filesystem::path& path, std::string_view content) {
    const UniqueFd file(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (file.valid()) {
        static_cast<void>(writeAll(file.get(), content));
    }
}

bool isWatchdogMarker(const std::filesystem::path& path) {
    return path.filename().string().starts_with(markerPrefix) && path.extension() == ".pending";
}

} // namespace

ReliabilityState::ReliabilityState(std::filesystem::path directory, const Clock& clock,
                                   std::string version, int processIdentifier)
    : directory_(std::move(directory)), receiptURL_(directory_ / "recovery.plist"), clock_(clock),
      version_(std::move(version)), processIdentifier_(processIdentifier),
      journal_(directory_, clock, version_) {}

void ReliabilityState::beginLaunch() {
    std::error_code ignored;
    std::filesystem::create_directories(directory_, ignored);
    consecutiveUncleanLaunches_ = countAfterPreviousRun();
    removeStaleWatchdogMarkers();
    markerURL_ =
        directory_ / (std::string(markerPrefix) + std::to_string(processIdentifier_) + ".pending");
    replaceFile(*markerURL_, markerContent);
    write("running");
}

int ReliabilityState::countAfterPreviousRun() const {
    const PropertyList receipt = readPropertyList(receiptURL_);
    if (!receipt || plist_get_node_type(receipt.get()) != PLIST_DICT ||
        stringValue(plist_dict_get_item(receipt.get(), "status")) != "running") {
        return 0;
    }
    const auto previousCount =
        integerValue(plist_dict_get_item(receipt.get(), "consecutive_unclean")).value_or(0);
    // A receipt without a start time counts as written long ago; one in the future (the clock
    // was set back) as far away as one in the past.
    const auto previousStart = dateValue(plist_dict_get_item(receipt.get(), "started_at"));
    bool rapid = false;
    if (previousStart) {
        const auto sincePreviousStart = clock_.now() - *previousStart;
        rapid = sincePreviousStart < rapidLaunchWindow && sincePreviousStart > -rapidLaunchWindow;
    }
    const int count =
        rapid
            ? static_cast<int>(std::min<std::uint64_t>(previousCount, maximumUncleanLaunches - 1)) +
                  1
            : 0;
    journal_.record(uncleanExitDetectedEvent,
                    "Previous ZEVRA process ended without a clean-exit receipt; rapid count: " +
                        std::to_string(count));
    return count;
}

void ReliabilityState::removeStaleWatchdogMarkers() const {
    std::error_code error;
    std::filesystem::directory_iterator entries(directory_, error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        if (isWatchdogMarker(entries->path())) {
            std::error_code ignored;
            std::filesystem::remove(entries->path(), ignored);
        }
    }
}

void ReliabilityState::write(std::string_view status) const {
    const PropertyList receipt(plist_new_dict());
    plist_dict_set_item(receipt.get(), "status", plist_new_string(std::string(status).c_str()));
    plist_dict_set_item(receipt.get(), "started_at", newDateNode(clock_.now()));
    plist_dict_set_item(receipt.get(), "consecutive_unclean",
                        plist_new_uint(static_cast<uint64_t>(consecutiveUncleanLaunches_)));
    plist_dict_set_item(receipt.get(), "version", plist_new_string(version_.c_str()));
    static_cast<void>(writePropertyListAtomically(receiptURL_, receipt.get()));
}

void ReliabilityState::markClean() {
    if (markerURL_) {
        std::error_code ignored;
        std::filesystem::remove(*markerURL_, ignored);
    }
    write("clean");
}

} // namespace zevra
