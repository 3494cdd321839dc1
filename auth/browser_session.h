#pragma once

#include "auth/identity_check.h"
#include "auth/keychain_token_store.h"
#include "auth/pending_session_handoff_store.h"
#include "base/background_executor.h"
#include "platform/clock.h"
#include "platform/http_client.h"
#include "platform/keyring.h"
#include "platform/secure_random.h"

#include <nlohmann/json.hpp>

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace zevra {

// What the session needs from outside; tests substitute each piece.
struct BrowserSessionServices {
    // Runs the stored-token load and the identity requests; outlives the session.
    BackgroundExecutor& executor;
    Keyring& keyring;
    KeychainTokenStore::VersionSource version;
    std::filesystem::path applicationSupportFolder;
    const Clock& clock;
    SecureRandom& random;
    std::shared_ptr<HttpClient> http;
    IdentityCheckSettings identity;
};

// The session token the application presents to the site, and the browser sign-in that
// brings one in: a one-time nonce with a ten-minute window, completed by the browser
// extension or the site posting the token back to the loopback server.
class BrowserSession {
public:
    explicit BrowserSession(BrowserSessionServices services);
    ~BrowserSession();
    BrowserSession(const BrowserSession&) = delete;
    BrowserSession& operator=(const BrowserSession&) = delete;

    // Takes a token handed over by the previous version, else the keyring's, off the caller's
    // thread. Never replaces a token activated in the meantime.
    void loadStoredTokenInBackground();
    // Waits until a load started by loadStoredTokenInBackground has finished.
    void waitForStoredTokenLoad();

    // A fresh 64-digit lowercase hexadecimal nonce, pending for 600 seconds; nothing when the
    // random generator fails.
    [[nodiscard]] std::optional<std::string> beginBrowserAuth();
    [[nodiscard]] bool browserAuthIsPending(const std::string& nonce) const;
    [[nodiscard]] bool acceptBrowserHandoff(const std::string& token,
                                            const std::optional<std::string>& nonce,
                                            const std::optional<std::string>& origin,
                                            const std::optional<std::string>& referer);
    // True once after an accepted handoff.
    [[nodiscard]] bool consumeBrowserHandoffReady();
    [[nodiscard]] bool activateToken(const std::string& token);
    [[nodiscard]] std::optional<std::string> currentToken() const;
    // Forgets the token everywhere and cancels a browser sign-in in progress.
    void clearToken();
    // Asks the site who the token belongs to; blocks for at most the identity wait limit.
    [[nodiscard]] nlohmann::json authenticationStatus();

    [[nodiscard]] const KeychainTokenStore& keychain() const { return keychain_; }
    [[nodiscard]] const PendingSessionHandoffStore& handoffStore() const { return handoffStore_; }

private:
    BrowserSessionServices services_;
    KeychainTokenStore keychain_;
    PendingSessionHandoffStore handoffStore_;

    // Held across the keyring write and the memory update of every change of the token, so the
    // keyring always holds the token in force and a restart keeps the same account. Taken
    // before authBridgeQueue, never while holding it.
    std::mutex sessionStore;

    // Stands for the "zevra.auth.bridge" queue: the only guard of the fields below, never held
    // across keyring, file or network work.
    mutable std::mutex authBridgeQueue;
    std::optional<std::string> activeSessionToken;
    bool browserHandoffReady = false;
    TimePoint browserAuthDeadline = TimePoint::min();
    std::optional<std::string> browserAuthNonce;
    // Changes whenever the browser sign-in is begun, claimed by a handoff or cancelled.
    std::uint64_t signInGeneration = 0;

    // Loads started and not yet finished.
    std::mutex loaderLock;
    std::condition_variable loadFinished;
    int loadsRunning = 0;

    void loadStoredToken();
    void finishLoad();
    // Deletes the keyring item and forgets the token; the caller holds sessionStore.
    void forgetToken();
    void resetSignIn();
    [[nodiscard]] bool clearTokenIfCurrent(const std::string& token);
    [[nodiscard]] std::string userAgent() const;
};

} // namespace zevra
