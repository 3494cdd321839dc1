#pragma once

#include "platform/clock.h"

#include <filesystem>
#include <optional>
#include <string>

namespace zevra {

// Carries the session token across an update: the running version stages it in a private,
// short-lived file just before the installer starts; the next version takes it once, at
// start-up, and the file is gone afterwards whatever it held.
class PendingSessionHandoffStore {
public:
    // `folder` is the application-support folder ("$XDG_DATA_HOME/ZEVRA").
    PendingSessionHandoffStore(std::filesystem::path folder, const Clock& clock);

    [[nodiscard]] std::filesystem::path fileURL() const;

    // True when the file holds the token for `expectedVersion`, valid for 300 seconds.
    [[nodiscard]] bool stage(const std::string& token, const std::string& expectedVersion) const;
    // The token staged for this very version while still fresh; the file is deleted on
    // every path.
    [[nodiscard]] std::optional<std::string> consume(const std::string& expectedVersion) const;
    void discard() const;

private:
    std::filesystem::path folder_;
    const Clock& clock_;
};

} // namespace zevra
