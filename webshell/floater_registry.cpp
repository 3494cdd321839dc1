#include "webshell/floater_registry.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <utility>

namespace zevra {
namespace {

constexpr int minimumWidth = 240;
constexpr int minimumHeight = 160;
constexpr int maximumDimension = 4096;
constexpr int cascadeStart = 220;
constexpr int cascadeStep = 26;
constexpr int cascadeSpan = 240;

} // namespace

int floaterDimension(std::optional<double> asked, int minimum, int fallback) {
    if (!asked || !std::isfinite(*asked)) {
        return fallback;
    }
    return static_cast<int>(std::clamp(std::round(*asked), static_cast<double>(minimum),
                                       static_cast<double>(maximumDimension)));
}

FloaterRegistry::FloaterRegistry(FloaterWindows& windows, const Clock& clock, RouteURL routeURL)
    : windows_(windows), clock_(clock), routeURL_(std::move(routeURL)) {}

std::string FloaterRegistry::generatedId() const {
    const std::chrono::duration<double> sinceEpoch = clock_.now().time_since_epoch();
    char seconds[40] = {};
    static_cast<void>(std::snprintf(seconds, sizeof seconds, "%.6f", sinceEpoch.count()));
    return "floater_" + std::string(seconds) + "_" + std::to_string(nextNumber_);
}

FloaterOutcome FloaterRegistry::openOrFocus(const std::optional<std::string>& id,
                                            std::string_view url,
                                            const std::optional<std::string>& label,
                                            std::optional<double> width,
                                            std::optional<double> height) {
    const std::string key = id.value_or(generatedId());
    ++nextNumber_;
    if (open_.contains(key)) {
        windows_.front(key);
        return FloaterOutcome::fronted;
    }
    if (open_.size() >= maximumOpen) {
        return FloaterOutcome::refused;
    }
    const int offset = static_cast<int>((nextNumber_ * cascadeStep) % cascadeSpan);
    const FloaterWindow window{.id = key,
                               .url = routeURL_(url),
                               .title = label && !label->empty() ? *label : "ZEVRA",
                               .x = cascadeStart + offset,
                               .y = cascadeStart + offset,
                               .width = floaterDimension(width, minimumWidth, defaultWidth),
                               .height = floaterDimension(height, minimumHeight, defaultHeight)};
    open_.insert(key);
    windows_.open(window);
    return FloaterOutcome::opened;
}

void FloaterRegistry::forget(const std::string& id) {
    open_.erase(id);
}

} // namespace zevra
