#pragma once

#include "platform/keyring.h"

#include <functional>
#include <optional>
#include <string>

namespace zevra {

// The one session token of the signed-in user, kept in the keyring under an item bound to the
// application's version. Holds no copy in memory: every call goes to the keyring.
class KeychainTokenStore {
public:
    // Yields the bundle's short version string, or nothing when the entry is missing.
    using VersionSource = std::function<std::optional<std::string>()>;

    KeychainTokenStore(Keyring& keyring, VersionSource version);

    // "com.kelmor.zevra.session." + the version when it has three numeric parts, else + "dev".
    [[nodiscard]] static std::string serviceForVersion(const std::optional<std::string>& version);
    // Computed on every use from the version source.
    [[nodiscard]] std::string service() const;

    // The stored token, or nothing when there is none or what is stored is not a token.
    [[nodiscard]] std::optional<std::string> read() const;
    // Replaces the stored item; a malformed token is refused before the keyring is touched.
    [[nodiscard]] bool save(const std::string& token) const;
    // Removes this version's item; removing nothing is fine.
    void deleteToken() const;

private:
    Keyring& keyring_;
    VersionSource version_;
};

// The production version source: the main bundle's "CFBundleShortVersionString".
KeychainTokenStore::VersionSource mainBundleShortVersion();

} // namespace zevra
