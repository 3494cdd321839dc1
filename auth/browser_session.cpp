#include "auth/browser_session.h"

#include "base/hex.h"

#include "auth/handoff_origin.h"
#include "auth/session_token.h"
#include "build_config.h"
#include "platform/paths.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <utility>

namespace zevra {
namespace {

constexpr auto browserAuthWindow = std::chrono::seconds(600);

} // namespace

BrowserSession::BrowserSession(BrowserSessionServices services)
    : services_(std::move(services)), keychain_(services_.keyring, services_.version),
      handoffStore_(services_.applicationSupportFolder, services_.clock) {}

BrowserSession::~BrowserSession() {
    waitForStoredTokenLoad();
}

void BrowserSession::loadStoredTokenInBackground() {
    {
        const std::lock_guard guard(loaderLock);
        ++loadsRunning;
    }
    const bool posted = services_.executor.post([this] {
        loadStoredToken();
        finishLoad();
    });
    if (!posted) {
        // No background worker to be had: load here rather than not at all.
        loadStoredToken();
        finishLoad();
    }
}

void BrowserSession::finishLoad() {
    const std::lock_guard guard(loaderLock);
    --loadsRunning;
    loadFinished.notify_all();
}

void BrowserSession::waitForStoredTokenLoad() {
    std::unique_lock guard(loaderLock);
    loadFinished.wait(guard, [this] { return loadsRunning == 0; });
}

void BrowserSession::loadStoredToken() {
    const std::string version = services_.version().value_or("dev");
    const auto handoffToken = handoffStore_.consume(version);
    const std::lock_guard store(sessionStore);
    // A token activated meanwhile is in force and already in the keyring; writing another
    // there would bring a different account back at the next start.
    if (currentToken().has_value()) {
        return;
    }
    const auto storedToken = keychain_.read();
    const auto chosen = storedToken.has_value() ? storedToken : handoffToken;
    if (!chosen.has_value()) {
        return;
    }
    if (!storedToken.has_value() || handoffToken.has_value()) {
        // The keyring item is per version, so a handed-over token must be kept there now.
        static_cast<void>(keychain_.save(*chosen));
    }
    const std::lock_guard guard(authBridgeQueue);
    activeSessionToken = chosen;
}

std::optional<std::string> BrowserSession::beginBrowserAuth() {
    std::array<std::byte, 32> bytes{};
    if (!services_.random.fill(bytes)) {
        return std::nullopt;
    }
    const std::string nonce = lowercaseHex(bytes);
    const std::lock_guard guard(authBridgeQueue);
    browserAuthDeadline = services_.clock.now() + browserAuthWindow;
    browserHandoffReady = false;
    browserAuthNonce = nonce;
    ++signInGeneration;
    return nonce;
}

bool BrowserSession::browserAuthIsPending(const std::string& nonce) const {
    const std::lock_guard guard(authBridgeQueue);
    return browserAuthDeadline >= services_.clock.now() && browserAuthNonce == nonce;
}

bool BrowserSession::acceptBrowserHandoff(const std::string& token,
                                          const std::optional<std::string>& nonce,
                                          const std::optional<std::string>& origin,
                                          const std::optional<std::string>& referer) {
    const HandoffOrigin from = classifyHandoffOrigin(origin, referer, services_.identity.siteHost);
    if (!isWellFormedSessionToken(token)) {
        return false;
    }
    // The sign-in is claimed in the same step that accepts it, so of several handoffs arriving
    // together only one gets through; it is given back if the keyring refuses the token.
    std::optional<std::string> claimedNonce;
    TimePoint claimedDeadline;
    std::uint64_t claim = 0;
    {
        const std::lock_guard guard(authBridgeQueue);
        if (browserAuthDeadline < services_.clock.now()) {
            return false;
        }
        const bool nonceGiven = nonce.has_value() && !nonce->empty();
        const bool nonceMatches =
            browserAuthNonce.has_value() && nonceGiven && *browserAuthNonce == *nonce;
        const bool accepted = from.fromSite
                                  ? (!nonceGiven || nonceMatches)
                                  : ((from.fromConnectPage || from.fromExtension) && nonceMatches);
        if (!accepted) {
            return false;
        }
        claimedNonce = std::exchange(browserAuthNonce, std::nullopt);
        claimedDeadline = std::exchange(browserAuthDeadline, TimePoint::min());
        claim = ++signInGeneration;
    }
    if (!activateToken(token)) {
        const std::lock_guard guard(authBridgeQueue);
        // Unless a new sign-in began or the token was cleared meanwhile.
        if (signInGeneration == claim) {
            browserAuthNonce = claimedNonce;
            browserAuthDeadline = claimedDeadline;
        }
        return false;
    }
    const std::lock_guard guard(authBridgeQueue);
    resetSignIn();
    browserHandoffReady = true;
    return true;
}

bool BrowserSession::consumeBrowserHandoffReady() {
    const std::lock_guard guard(authBridgeQueue);
    return std::exchange(browserHandoffReady, false);
}

bool BrowserSession::activateToken(const std::string& token) {
    if (!isWellFormedSessionToken(token)) {
        return false;
    }
    const std::lock_guard store(sessionStore);
    if (!keychain_.save(token)) {
        return false;
    }
    const std::lock_guard guard(authBridgeQueue);
    activeSessionToken = token;
    return true;
}

std::optional<std::string> BrowserSession::currentToken() const {
    const std::lock_guard guard(authBridgeQueue);
    return activeSessionToken;
}

void BrowserSession::clearToken() {
    const std::lock_guard store(sessionStore);
    forgetToken();
}

void BrowserSession::forgetToken() {
    keychain_.deleteToken();
    const std::lock_guard guard(authBridgeQueue);
    activeSessionToken.reset();
    resetSignIn();
}

void BrowserSession::resetSignIn() {
    browserHandoffReady = false;
    browserAuthDeadline = TimePoint::min();
    browserAuthNonce.reset();
    ++signInGeneration;
}

bool BrowserSession::clearTokenIfCurrent(const std::string& token) {
    const std::lock_guard store(sessionStore);
    if (currentToken() != token) {
        return false;
    }
    forgetToken();
    return true;
}

std::string BrowserSession::userAgent() const {
    return "ZEVRA.app/" + services_.version().value_or("unknown");
}

nlohmann::json BrowserSession::authenticationStatus() {
    const auto token = currentToken();
    const IdentityAnswer answer =
        askIdentity(services_.executor, services_.http, services_.identity, token, userAgent());
    if (answer.verified) {
        const auto& user = answer.payload["user"];
        const auto username = user.find("username");
        const bool named = username != user.end() && username->is_string();
        return {{"ok", true},
                {"authenticated", true},
                {"username", named ? username->get<std::string>() : std::string()}};
    }
    if (!token.has_value()) {
        return {{"ok", true}, {"authenticated", false}};
    }
    if (answer.status == 401 || answer.status == 403) {
        // The site rejected the token it was shown; one activated while we waited stays.
        static_cast<void>(clearTokenIfCurrent(*token));
        return {{"ok", true}, {"authenticated", false}};
    }
    return {{"ok", true}, {"authenticated", true}, {"degraded", true}};
}

} // namespace zevra
