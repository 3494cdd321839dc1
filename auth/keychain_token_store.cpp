#include "auth/keychain_token_store.h"

#include "auth/session_token.h"
#include "platform/bundle.h"

#include <utility>

namespace zevra {
namespace {

constexpr const char* account = "app-token";

} // namespace

KeychainTokenStore::KeychainTokenStore(Keyring& keyring, VersionSource version)
    : keyring_(keyring), version_(std::move(version)) {}

std::string KeychainTokenStore::serviceForVersion(const std::optional<std::string>& version) {
    const bool usable = version.has_value() && isThreePartVersion(*version);
    return std::string("com.kelmor.zevra.session.") + (usable ? *version : "dev");
}

std::string KeychainTokenStore::service() const {
    return serviceForVersion(version_());
}

std::optional<std::string> KeychainTokenStore::read() const {
    auto stored = keyring_.find(service(), account);
    if (!stored.has_value() || !isWellFormedSessionToken(*stored)) {
        return std::nullopt;
    }
    return stored;
}

bool KeychainTokenStore::save(const std::string& token) const {
    if (!isWellFormedSessionToken(token)) {
        return false;
    }
    // There is no update in place: the old item goes first.
    deleteToken();
    return keyring_.add(service(), account, token);
}

void KeychainTokenStore::deleteToken() const {
    keyring_.remove(service(), account);
}

KeychainTokenStore::VersionSource mainBundleShortVersion() {
    return [] { return mainBundleInfoString("CFBundleShortVersionString"); };
}

} // namespace zevra
