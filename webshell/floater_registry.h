#pragma once

#include "platform/clock.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace zevra {

// One floater window as the registry wants it made.
struct FloaterWindow {
    std::string id;
    std::optional<std::string> url; // absent leaves the window empty
    std::string title;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Makes and fronts the actual windows. The registry's `forget` must be called when one closes.
class FloaterWindows {
public:
    virtual ~FloaterWindows() = default;
    virtual void open(const FloaterWindow& window) = 0;
    virtual void front(const std::string& id) = 0;
};

enum class FloaterOutcome { opened, fronted, refused };

// The small always-on-top windows, kept by identifier: asking for an open identifier fronts
// its window. Sizes come from pages, so only finite ones are taken, clamped to what a screen
// can show, and a page cannot open more than `maximumOpen` of them. Main thread only.
class FloaterRegistry {
public:
    // The URL to load for what a page asked for (site pages through the loopback proxy).
    using RouteURL = std::function<std::optional<std::string>(std::string_view)>;

    static constexpr int defaultWidth = 480;
    static constexpr int defaultHeight = 360;
    static constexpr std::size_t maximumOpen = 32;

    FloaterRegistry(FloaterWindows& windows, const Clock& clock, RouteURL routeURL);

    FloaterOutcome openOrFocus(const std::optional<std::string>& id, std::string_view url,
                               const std::optional<std::string>& label, std::optional<double> width,
                               std::optional<double> height);
    void forget(const std::string& id);

    [[nodiscard]] std::size_t openCount() const { return open_.size(); }

private:
    [[nodiscard]] std::string generatedId() const;

    FloaterWindows& windows_;
    const Clock& clock_;
    RouteURL routeURL_;
    std::set<std::string, std::less<>> open_;
    long long nextNumber_ = 0;
};

// A width or height a page asked for: finite values clamped to [minimum, 4096], anything else
// the default.
[[nodiscard]] int floaterDimension(std::optional<double> asked, int minimum, int fallback);

} // namespace zevra
