#include "reliability/health_probe.h"

#include "server/local_server.h"
#include "support/local_server_options.h"
#include "support/session_fixture.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

TEST(HealthProbe, IsHealthyOnlyForA200NamingThisLaunch) {
    const std::string ours = R"({"instance":"ours","ok":true})";
    const std::tuple<int, std::string, bool> rows[] = {
        {200, ours, true},
        {503, ours, false},
        {200, R"({"instance":"theirs","ok":true})", false},
        {200, R"({"ok":true,"service":"zevra-local-shell"})", false},
        {200, "ours", false},
    };
    for (const auto& [status, body, healthy] : rows) {
        EXPECT_EQ(healthProbeIsHealthy(HttpClientResponse{status, {}, body}, "ours"), healthy)
            << status << " " << body;
    }
    EXPECT_FALSE(healthProbeIsHealthy(std::nullopt, "ours"));
}

TEST(HealthProbe, TellsItsOwnServerFromAnotherCopyOnLoopback) {
    testing::SessionFixture fixture;
    const auto probe = [&, http = makeHttpClient()](const std::string& instance) {
        auto options = testing::localServerOptions(fixture.support.path(), fixture.clock,
                                                   fixture.executor, fixture.makeSession());
        options.instance = instance;
        LocalServer server(std::move(options));
        return server.start() &&
               healthProbeIsHealthy(http->send(healthProbeRequest(*server.listeningPort())),
                                    "ours");
    };
    EXPECT_TRUE(probe("ours"));
    EXPECT_FALSE(probe("theirs"));
}

} // namespace
} // namespace zevra
