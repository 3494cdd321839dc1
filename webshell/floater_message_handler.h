#pragma once

#include "webshell/floater_registry.h"

#include <nlohmann/json.hpp>

#include <functional>

namespace zevra {

// The "zevraFloater" script message: {"url", optional "label", "id", "w", "h"}. Any page may
// send it; a field of the wrong type counts as absent, and a message without a URL is ignored.
class FloaterMessageHandler {
public:
    // Runs work later on the main thread.
    using MainQueue = std::function<void(std::function<void()>)>;

    FloaterMessageHandler(FloaterRegistry& registry, MainQueue mainQueue);

    void receive(const nlohmann::json& body);

private:
    FloaterRegistry& registry_;
    MainQueue mainQueue_;
};

} // namespace zevra
