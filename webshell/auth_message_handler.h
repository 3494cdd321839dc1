#pragma once

#include "auth/browser_session.h"
#include "platform/system_log.h"
#include "webshell/local_shell_origin.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <string>

namespace zevra {

// The "zevraAuth" script message: the shell page hands over a token it obtained itself.
class AuthMessageHandler {
public:
    AuthMessageHandler(std::weak_ptr<BrowserSession> server, SystemLog& log,
                       LocalServerListening serverListening);

    // `origin` is the serialised origin of the frame that sent the message.
    void receive(const nlohmann::json& body, const std::string& origin);

private:
    std::weak_ptr<BrowserSession> server_;
    SystemLog& log_;
    LocalServerListening serverListening_;
};

} // namespace zevra
