#include "webshell/floater_message_handler.h"

#include <optional>
#include <string>
#include <utility>

namespace zevra {
namespace {

std::optional<std::string> stringMember(const nlohmann::json& body, const char* key) {
    const auto entry = body.find(key);
    if (entry == body.end() || !entry->is_string()) {
        return std::nullopt;
    }
    return entry->get<std::string>();
}

std::optional<double> numberMember(const nlohmann::json& body, const char* key) {
    const auto entry = body.find(key);
    if (entry == body.end() || !entry->is_number()) {
        return std::nullopt;
    }
    return entry->get<double>();
}

} // namespace

FloaterMessageHandler::FloaterMessageHandler(FloaterRegistry& registry, MainQueue mainQueue)
    : registry_(registry), mainQueue_(std::move(mainQueue)) {}

void FloaterMessageHandler::receive(const nlohmann::json& body) {
    if (!body.is_object()) {
        return;
    }
    auto url = stringMember(body, "url");
    if (!url || url->empty()) {
        return;
    }
    mainQueue_([&registry = registry_, url = std::move(*url), label = stringMember(body, "label"),
                id = stringMember(body, "id"), width = numberMember(body, "w"),
                height = numberMember(body, "h")] {
        static_cast<void>(registry.openOrFocus(id, url, label, width, height));
    });
}

} // namespace zevra
