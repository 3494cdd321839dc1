#include "app_process.h"
#include "base/descriptor_io.h"
#include "base/unique_fd.h"
#include "support/loopback_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>

namespace zevra::testing {
namespace {

using namespace std::chrono_literals;

// Answers a waiting request, if there is one, with one HTML page.
void answerPending(const UniqueFd& listener, const std::string& html) {
    pollfd pending{listener.get(), POLLIN, 0};
    if (poll(&pending, 1, 0) <= 0) {
        return;
    }
    const UniqueFd client(accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    char request[4096];
    static_cast<void>(recv(client.get(), request, sizeof request, 0));
    static_cast<void>(writeAll(client.get(), "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                                             "Connection: close\r\nContent-Length: " +
                                                 std::to_string(html.size()) + "\r\n\r\n" + html));
}

// Runs the real app with a shell page of the test's own (so the page really comes from the
// app's server and has the shell's origin) and a stand-in for the desktop's browser launcher;
// returns the URLs it was asked to open once two have come, calling `whileWaiting` meanwhile.
std::string urlsOpenedFrom(const AppSandbox& sandbox, const std::string& shellPage,
                           const std::function<void()>& whileWaiting) {
    const auto display = testDisplay();
    const auto record = sandbox.home() / "opened-urls";
    BackgroundProcess app({bundleWithShellPage(sandbox, shellPage).string()},
                          withRecordingBrowser(sandbox, sandbox.options(display), record));
    waitUntil(
        [&] {
            whileWaiting();
            return std::ranges::count(readFile(record), '\n') >= 2;
        },
        60s);
    return readFile(record);
}

// Two sign-in requests, both from the shell page itself.
const std::regex twoFromTheShell("(http://127\\.0\\.0\\.1:18484/app-connect\\?nonce=[^\n]*\n){2}");
constexpr const char* postTwice = "window.webkit.messageHandlers.zevraBeginAuth.postMessage({});"
                                  "window.webkit.messageHandlers.zevraBeginAuth.postMessage(null);";
constexpr const char* postAutomatic =
    "window.webkit.messageHandlers.zevraBeginAuth.postMessage({automatic: true});";

// The framed page posts first, then the shell page twice; the engine delivers one process's
// messages in order, so when the shell's two have been handled the frame's has been too.
TEST(ShellScriptMessages, BrowserSignInStartsFromTheShellPageButNotFromACrossOriginFrame) {
    const AppSandbox sandbox;
    const UniqueFd frameServer = listenOnLoopback(0);
    const std::string framePage = std::string("<!doctype html><script>") + postAutomatic +
                                  "parent.postMessage('posted', '*');</script>";
    const auto opened = urlsOpenedFrom(
        sandbox,
        std::string("<!doctype html><body><script>addEventListener('message', function (event) {"
                    "  if (event.data === 'posted') {") +
            postTwice + "}});</script><iframe src='http://127.0.0.1:" +
            std::to_string(boundPort(frameServer.get())) + "/frame.html'></iframe></body>",
        [&] { answerPending(frameServer, framePage); });
    EXPECT_TRUE(std::regex_match(opened, twoFromTheShell)) << opened;
    EXPECT_EQ(opened.find("automatic"), std::string::npos) << "the iframe's message";
}

// A page saved into the downloads folder is served by the app's own server, yet never runs
// with the shell's origin (here: in a frame of the shell page, once loaded).
TEST(ShellScriptMessages, ASavedPageCannotActAsTheShell) {
    const AppSandbox sandbox;
    std::filesystem::create_directories(sandbox.home() / "Desktop/ZEVRA Downloads");
    std::ofstream(sandbox.home() / "Desktop/ZEVRA Downloads/x.html")
        << "<!doctype html><script>" << postAutomatic << "</script>";
    const auto opened =
        urlsOpenedFrom(sandbox,
                       std::string("<!doctype html><iframe src='/downloads/x.html' onload='") +
                           postTwice + "'></iframe>",
                       [] {});
    EXPECT_TRUE(std::regex_match(opened, twoFromTheShell)) << opened;
    EXPECT_EQ(opened.find("automatic"), std::string::npos) << "the saved page's message";
}

TEST(PortSquatter, ShellIsNotLoadedFromAServerThatIsNotOurs) {
    const auto display = testDisplay();
    ASSERT_FALSE(display.empty());
    const UniqueFd squatter = listenOnLoopback(18484);
    ASSERT_TRUE(squatter.valid()) << "port 18484 is taken; run the suite in its own namespace";
    const AppSandbox sandbox;
    const auto app = sandbox.start({}, display);

    ASSERT_TRUE(waitForStandardError(*app, "load finished: about:blank", 60s))
        << app->standardErrorSoFar();
    const auto output = app->standardErrorSoFar();
    EXPECT_NE(output.find("could not listen on 127.0.0.1:18484"), std::string::npos) << output;
    EXPECT_EQ(output.find("load finished: http://127.0.0.1:18484"), std::string::npos) << output;
    pollfd pending{squatter.get(), POLLIN, 0};
    EXPECT_EQ(poll(&pending, 1, 0), 0) << "the app connected to the squatter";
}

} // namespace
} // namespace zevra::testing
