#include "webshell/auth_message_handler.h"

namespace zevra {

AuthMessageHandler::AuthMessageHandler(std::weak_ptr<BrowserSession> server, SystemLog& log,
                                       LocalServerListening serverListening)
    : server_(std::move(server)), log_(log), serverListening_(std::move(serverListening)) {}

void AuthMessageHandler::receive(const nlohmann::json& body, const std::string& origin) {
    if (!messageIsFromLocalShell(origin) || !serverListening_() || !body.is_object()) {
        return;
    }
    const auto token = body.find("token");
    if (token == body.end() || !token->is_string() ||
        token->get_ref<const std::string&>().empty()) {
        return;
    }
    const auto server = server_.lock();
    if (server == nullptr || !server->activateToken(token->get<std::string>())) {
        log_.write("[ZEVRA Auth] Rejected invalid local app token");
    }
}

} // namespace zevra
