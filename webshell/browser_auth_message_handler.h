#pragma once

#include "auth/browser_session.h"
#include "platform/workspace.h"
#include "webshell/local_shell_origin.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <string>

namespace zevra {

// The "zevraBeginAuth" script message: starts a browser sign-in and opens the connect page in
// the user's default browser. Only the nonce travels in that URL, never a token. While our own
// server is not listening nothing is opened: the connect page, and the token the browser would
// post back, would go to whoever holds the address.
class BrowserAuthMessageHandler {
public:
    // Runs work later on the main thread (the application's postToMain).
    using MainQueue = std::function<void(std::function<void()>)>;

    BrowserAuthMessageHandler(std::weak_ptr<BrowserSession> server, Workspace& workspace,
                              MainQueue mainQueue, LocalServerListening serverListening);

    // `origin` is the serialised origin of the frame that sent the message.
    void receive(const nlohmann::json& body, const std::string& origin);

private:
    std::weak_ptr<BrowserSession> server_;
    Workspace& workspace_;
    MainQueue mainQueue_;
    LocalServerListening serverListening_;
};

// "http://127.0.0.1:18484/app-connect?nonce=" + nonce, plus "&automatic=1" when asked for.
[[nodiscard]] std::string connectPageURL(const std::string& nonce, bool automatic);

} // namespace zevra
