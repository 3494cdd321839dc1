// The probe's verdict, and the probe against real servers on loopback ports.
#include "reliability/health_probe.h"

#include "server/local_server.h"
#include "support/local_server_options.h"
#include "support/session_fixture.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

TEST(HealthProbe, IsHealthyOnlyForA200NamingThisLaunch) {
    const auto answer = [](int status, const std::string& body) {
        return std::optional<HttpClientResponse>(HttpClientResponse{status, {}, body});
    };
    const std::string ours = R"({"instance":"ours","ok":true,"service":"zevra-local-shell"})";
    const struct {
        const char* name;
        std::optional<HttpClientResponse> response;
        bool healthy;
    } rows[] = {
        {"ours", answer(200, ours), true},
        {"no answer", std::nullopt, false},
        {"busy", answer(503, ours), false},
        {"another launch", answer(200, R"({"instance":"theirs","ok":true})"), false},
        {"no instance", answer(200, R"({"ok":true,"service":"zevra-local-shell"})"), false},
        {"instance not a string", answer(200, R"({"instance":1})"), false},
        {"not JSON", answer(200, "ours"), false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(healthProbeIsHealthy(row.response, "ours"), row.healthy) << row.name;
    }
}

TEST(HealthProbe, TellsItsOwnServerFromAnotherOnThePort) {
    testing::SessionFixture fixture;
    const testing::TemporaryFolder resources;
    const auto serve = [&](const std::string& instance) {
        auto options = testing::localServerOptions(resources.path(), fixture.clock,
                                                   fixture.executor, fixture.makeSession());
        options.instance = instance;
        return std::make_unique<LocalServer>(std::move(options));
    };
    const auto ours = serve("ours");
    const auto other = serve("theirs");
    ASSERT_TRUE(ours->start());
    ASSERT_TRUE(other->start());
    const auto http = makeHttpClient();
    const auto probe = [&](const LocalServer& server) {
        return healthProbeIsHealthy(http->send(healthProbeRequest(*server.listeningPort())),
                                    "ours");
    };
    EXPECT_TRUE(probe(*ours));
    EXPECT_FALSE(probe(*other));

    const auto port = *ours->listeningPort();
    ours->stop();
    EXPECT_FALSE(healthProbeIsHealthy(http->send(healthProbeRequest(port)), "ours"));
}

} // namespace
} // namespace zevra
