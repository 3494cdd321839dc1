#include "webshell/browser_auth_message_handler.h"

#include "base/shell_address.h"

#include "webshell/local_shell_origin.h"

namespace zevra {

BrowserAuthMessageHandler::BrowserAuthMessageHandler(std::weak_ptr<BrowserSession> server,
                                                     Workspace& workspace, MainQueue mainQueue,
                                                     LocalServerListening serverListening)
    : server_(std::move(server)), workspace_(workspace), mainQueue_(std::move(mainQueue)),
      serverListening_(std::move(serverListening)) {}

std::string connectPageURL(const std::string& nonce, bool automatic) {
    return std::string(loopbackBase) + "/app-connect?nonce=" + nonce +
           (automatic ? "&automatic=1" : "");
}

void BrowserAuthMessageHandler::receive(const nlohmann::json& body, const std::string& origin) {
    if (!messageIsFromLocalShell(origin) || !serverListening_()) {
        return;
    }
    bool automatic = false;
    if (body.is_object()) {
        const auto entry = body.find("automatic");
        automatic = entry != body.end() && entry->is_boolean() && entry->get<bool>();
    }
    const auto server = server_.lock();
    if (server == nullptr) {
        return;
    }
    const auto nonce = server->beginBrowserAuth();
    if (!nonce.has_value()) {
        return;
    }
    // Asked again when the browser is about to open: the server may have stopped meanwhile.
    mainQueue_([&workspace = workspace_, listening = serverListening_,
                url = connectPageURL(*nonce, automatic)] {
        if (listening()) {
            static_cast<void>(workspace.openURL(url));
        }
    });
}

} // namespace zevra
