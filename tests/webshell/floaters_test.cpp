#include "webshell/floater_message_handler.h"
#include "webshell/floater_registry.h"
#include "webshell/web_ui_delegate.h"

#include "support/manual_clock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace zevra {
namespace {

using nlohmann::json;

class FloatersTest : public ::testing::Test, public FloaterWindows {
protected:
    testing::ManualClock clock;
    std::vector<FloaterWindow> opened;
    std::vector<std::string> fronted;
    std::vector<std::function<void()>> mainQueue;
    FloaterRegistry registry{*this, clock, [](std::string_view url) -> std::optional<std::string> {
                                 if (url.starts_with("javascript:")) {
                                     return std::nullopt;
                                 }
                                 return "routed:" + std::string(url);
                             }};
    FloaterMessageHandler handler{
        registry, [this](std::function<void()> work) { mainQueue.push_back(work); }};

    void open(const FloaterWindow& window) override { opened.push_back(window); }
    void front(const std::string& id) override { fronted.push_back(id); }
    void post(const json& body) {
        handler.receive(body);
        for (const auto& work : std::exchange(mainQueue, {})) {
            work();
        }
    }
};

TEST_F(FloatersTest, OneWindowPerIdentifierUntilItCloses) {
    post({{"url", "https://site/a"}, {"id", "docs"}, {"label", "Docs"}});
    post({{"url", "https://site/b"}, {"id", "docs"}});
    ASSERT_EQ(opened.size(), 1U);
    EXPECT_EQ(opened[0].url, "routed:https://site/a");
    EXPECT_EQ(opened[0].title, "Docs");
    EXPECT_EQ(fronted, std::vector<std::string>{"docs"});
    registry.forget("docs");
    post({{"url", "https://site/b"}, {"id", "docs"}});
    EXPECT_EQ(opened.size(), 2U);

    // Generated identifiers are never reused, so new-window requests always open a window.
    static_cast<void>(registry.openOrFocus(std::nullopt, "javascript:x", std::nullopt, {}, {}));
    static_cast<void>(registry.openOrFocus(std::nullopt, "https://site/c", "", {}, {}));
    ASSERT_EQ(opened.size(), 4U);
    EXPECT_THAT(opened[2].id, ::testing::MatchesRegex(R"(floater_1796000000\.0+_3)"));
    EXPECT_NE(opened[2].id, opened[3].id);
    EXPECT_EQ(opened[2].url, std::nullopt);
    EXPECT_EQ(opened[3].title, "ZEVRA");
}

TEST_F(FloatersTest, MessagesNeedAURLAndTakeOnlyFiniteClampedSizes) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (const json& body : {json("https://site/a"), json{{"url", ""}}, json{{"url", 3}}}) {
        post(body);
    }
    EXPECT_TRUE(opened.empty());
    const std::tuple<json, json, int, int> sizes[] = {
        {json(), json(), 480, 360}, {"640", json(nan), 480, 360}, {nan, -infinity, 480, 360},
        {-5, 10, 240, 160},         {1e9, 5000.4, 4096, 4096},    {800.6, 600, 801, 600},
    };
    for (const auto& [w, h, width, height] : sizes) {
        json body{{"url", "/proxy/x"}};
        if (!w.is_null()) {
            body["w"] = w;
        }
        if (!h.is_null()) {
            body["h"] = h;
        }
        post(body);
        ASSERT_FALSE(opened.empty());
        EXPECT_EQ(opened.back().width, width) << body;
        EXPECT_EQ(opened.back().height, height) << body;
    }
    EXPECT_EQ(opened.size(), std::size(sizes));
}

TEST_F(FloatersTest, CascadesAndCapsHowManyAreOpen) {
    for (int i = 0; i < 100; ++i) {
        post({{"url", "/proxy/x"}});
    }
    ASSERT_EQ(opened.size(), FloaterRegistry::maximumOpen);
    EXPECT_EQ(opened[0].x, 246);
    EXPECT_EQ(opened[9].x, 240); // 220 + (10 x 26 mod 240)
    EXPECT_EQ(opened[9].y, 240);
    registry.forget(opened[0].id);
    post({{"url", "/proxy/x"}, {"id", "again"}});
    EXPECT_EQ(opened.back().id, "again");
    EXPECT_EQ(registry.openCount(), FloaterRegistry::maximumOpen);
}

// The main view's new-window requests: each opens a new default-sized floater, never fronts one.
TEST_F(FloatersTest, NewWindowRequestsOpenDefaultFloaters) {
    WebUIDelegate ui(registry, [this](std::function<void()> work) { mainQueue.push_back(work); });
    ui.didRequestNewWindow({""});
    ui.didRequestNewWindow({"https://site/a"});
    ui.didRequestNewWindow({"https://site/a"});
    EXPECT_EQ(mainQueue.size(), 2U) << "a request without a URL opens nothing";
    for (const auto& work : std::exchange(mainQueue, {})) {
        work();
    }
    ASSERT_EQ(opened.size(), 2U);
    EXPECT_NE(opened[0].id, opened[1].id);
    EXPECT_EQ(opened[1].url, "routed:https://site/a");
    EXPECT_EQ(opened[1].title, "ZEVRA");
    EXPECT_EQ(opened[1].width, 480);
    EXPECT_EQ(opened[1].height, 360);

    for (const bool multiple : {false, true}) {
        const auto options = WebUIDelegate::openPanelOptions({multiple});
        EXPECT_EQ(options.allowsMultipleSelection, multiple);
        EXPECT_THAT(options.mimeTypes,
                    ::testing::IsSupersetOf({"image/*", "video/*", "audio/*", "application/pdf",
                                             "application/json", "text/plain"}));
    }
}

} // namespace
} // namespace zevra
