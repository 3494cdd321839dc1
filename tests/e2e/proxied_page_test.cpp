// A first-party page through the real proxy in a real web view: the interceptor brings the
// page's own requests back to the loopback server, and only the app's views get through.
#include "build_config.h"
#include "gtk_test_display.h"
#include "platform/gtk/gtk_web_view.h"
#include "server/launch_key.h"
#include "server/local_server.h"
#include "support/https_upstream.h"
#include "support/local_server_options.h"
#include "support/session_fixture.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <string>

namespace zevra {
namespace {

const std::string site = std::string("https://") + config::SiteHost;

std::string pageWith(const std::string& body) {
    return "<!doctype html><html><head><title>p</title></head><body>" + body + "</body></html>";
}

// Each page takes the next step, so one load walks every road out of a page.
testing::UpstreamAnswer answerFor(const testing::UpstreamRequest& request) {
    using testing::upstreamResponse;
    const std::string html = "Content-Type: text/html\r\n";
    const std::string target = request.head.substr(0, request.head.find(" HTTP/"));
    if (target == "GET /start") {
        return {upstreamResponse(
            "200 OK", html,
            pageWith(
                "<script>(async function () {"
                "  const seen = {};"
                "  seen.fetch = await (await fetch('" +
                site +
                "/api/f')).text();"
                "  seen.xhr = await new Promise(function (done) {"
                "    const x = new XMLHttpRequest(); x.open('GET', '" +
                site +
                "/api/x');"
                "    x.onload = function () { done(x.responseText); };"
                "    x.onerror = function () { done('error'); }; x.send(); });"
                "  seen.data = await (await fetch('data:text/plain,kept')).text();"
                "  try { await fetch('https://example.org/foreign'); seen.foreign = 'reached'; }"
                "  catch (e) { seen.foreign = 'left'; }"
                "  const hash = document.createElement('a'); hash.href = '#here';"
                "  document.body.appendChild(hash); hash.click(); seen.hash = location.hash;"
                "  await fetch('" +
                site +
                "/api/report', {method: 'POST', body: JSON.stringify(seen)});"
                "  const link = document.createElement('a'); link.href = '" +
                site +
                "/linked';"
                "  document.body.appendChild(link); link.click();"
                "})();</script>"))};
    }
    if (target == "GET /linked") {
        return {upstreamResponse("200 OK", html,
                                 pageWith("<form method='post' action='" + site +
                                          "/submitted'><input name='a' value='1'></form>"
                                          "<script>document.forms[0].requestSubmit();</script>"))};
    }
    if (target == "POST /submitted") {
        return {upstreamResponse("200 OK", html,
                                 pageWith("<script>location.assign('assigned');</script>"))};
    }
    if (target == "GET /assigned") {
        return {upstreamResponse("200 OK", html,
                                 pageWith("<script>fetch('" + site + "/api/done');</script>"))};
    }
    return {upstreamResponse("200 OK", "Content-Type: text/plain\r\n", target)};
}

TEST(ProxiedPage, TheInterceptorBringsThePagesRequestsBackThroughTheLoopbackServer) {
    const char* display = std::getenv("ZEVRA_TEST_DISPLAY");
    ASSERT_NE(display, nullptr) << "run through scripts/run-tests.sh, which starts Xvfb";
    setenv("DISPLAY", display, 1);
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 1);
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));

    testing::HttpsUpstream upstream({config::SiteHost}, answerFor);
    testing::TemporaryFolder folder;
    testing::SessionFixture fixture;
    auto options = testing::localServerOptions(folder.path(), fixture.clock, fixture.executor,
                                               fixture.makeSession());
    options.port = 18484; // the interceptor routes to the app's own address
    options.firstParty = makeHttpClient(
        {.caFile = upstream.caFile(), .connectTo = upstream.connectTo(), .shareSession = true});
    LocalServer server(std::move(options));
    ASSERT_TRUE(server.start()) << "port 18484 is taken; run the suite in its own namespace";

    WebViewConfiguration configuration;
    configuration.cookies.push_back(
        {std::string(launchKeyCookieName), std::string(testing::testLaunchKey), "127.0.0.1"});
    GtkWebView view(configuration, nullptr);
    GtkWidget* window = gtk_offscreen_window_new();
    gtk_container_add(GTK_CONTAINER(window), view.widget());
    gtk_widget_show_all(window);
    view.loadURL("http://127.0.0.1:18484/proxy/start");

    const auto seen = [&] {
        std::string targets;
        for (const auto& request : upstream.requests()) {
            targets +=
                request.head.substr(0, request.head.find(" HTTP/")) + " " + request.body + "\n";
        }
        return targets;
    };
    testing::spinMainContextUntil([&] { return seen().find("GET /api/done") != std::string::npos; },
                                  std::chrono::seconds(30));
    gtk_widget_destroy(window);

    EXPECT_EQ(seen(), "GET /start \n"
                      "GET /api/f \n"
                      "GET /api/x \n"
                      "POST /api/report "
                      R"({"fetch":"GET /api/f","xhr":"GET /api/x","data":"kept",)"
                      R"("foreign":"left","hash":"#here"})"
                      "\n"
                      "GET /linked \n"
                      "POST /submitted a=1\n"
                      "GET /assigned \n"
                      "GET /api/done \n");
}

} // namespace
} // namespace zevra
