#include "app_process.h"
#include "base/unique_fd.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace zevra::testing {
namespace {

using namespace std::chrono_literals;

// A listening socket on 127.0.0.1; port 0 takes any free one.
UniqueFd listenOnLoopback(std::uint16_t port) {
    UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    // As any server would; the app run just before leaves connections in TIME_WAIT.
    const int reuse = 1;
    setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!fd.valid() || bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd.get(), 16) != 0) {
        return UniqueFd();
    }
    return fd;
}

std::uint16_t boundPort(const UniqueFd& fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// Answers every request with one HTML page: the page of another origin for the iframe.
class OnePageServer {
public:
    explicit OnePageServer(std::string html)
        : listener_(listenOnLoopback(0)), html_(std::move(html)), thread_([this] { serve(); }) {}
    ~OnePageServer() {
        shutdown(listener_.get(), SHUT_RDWR); // wakes accept
        thread_.join();
    }
    OnePageServer(const OnePageServer&) = delete;
    OnePageServer& operator=(const OnePageServer&) = delete;
    [[nodiscard]] std::uint16_t port() const { return boundPort(listener_); }

private:
    UniqueFd listener_;
    std::string html_;
    std::thread thread_;

    void serve() const {
        for (;;) {
            const UniqueFd client(accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!client.valid()) {
                return;
            }
            char request[4096];
            static_cast<void>(recv(client.get(), request, sizeof request, 0));
            const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                                       "Connection: close\r\nContent-Length: " +
                                       std::to_string(html_.size()) + "\r\n\r\n" + html_;
            static_cast<void>(send(client.get(), answer.data(), answer.size(), MSG_NOSIGNAL));
        }
    }
};

std::vector<std::string> lines(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::string> result;
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

// The bundle with a shell page of the test's own, so the page really comes from the app's
// server and has the shell's origin.
std::filesystem::path bundleWithShellPage(const std::filesystem::path& folder,
                                          const std::string& indexHTML) {
    const auto bundle = folder / "ZEVRA.app";
    std::filesystem::copy(ZEVRA_BUNDLE_DIR, bundle, std::filesystem::copy_options::recursive);
    std::ofstream(bundle / "Contents/Resources/index.html", std::ios::trunc) << indexHTML;
    return bundle / "Contents/MacOS/ZEVRA";
}

// Stands in for the desktop's browser launcher: records each URL it is asked to open.
std::string pathWithRecordingBrowser(const std::filesystem::path& folder,
                                     const std::filesystem::path& record) {
    const auto bin = folder / "bin";
    std::filesystem::create_directories(bin);
    const auto script = bin / "xdg-open";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << record.string() << "'\n";
    chmod(script.c_str(), 0755);
    const char* path = std::getenv("PATH");
    return "PATH=" + bin.string() + ":" + (path != nullptr ? path : "/usr/bin:/bin");
}

// The iframe from another origin posts first and then tells the shell page, which posts twice
// itself; the engine delivers one process's messages in order, so when the shell's two have
// been handled the iframe's has been too.
TEST(ShellScriptMessages, BrowserSignInStartsFromTheShellPageButNotFromACrossOriginFrame) {
    const auto display = testDisplay();
    ASSERT_FALSE(display.empty()) << "run through scripts/run-tests.sh, which starts Xvfb";
    const AppSandbox sandbox;
    const OnePageServer frameServer(
        "<!doctype html><script>"
        "window.webkit.messageHandlers.zevraBeginAuth.postMessage({automatic: true});"
        "parent.postMessage('posted', '*');</script>");
    const auto executable = bundleWithShellPage(
        sandbox.home(), "<!doctype html><body><script>"
                        "addEventListener('message', function (event) {"
                        "  if (event.data !== 'posted') { return; }"
                        "  window.webkit.messageHandlers.zevraBeginAuth.postMessage({});"
                        "  window.webkit.messageHandlers.zevraBeginAuth.postMessage(null);"
                        "});</script><iframe src='http://127.0.0.1:" +
                            std::to_string(frameServer.port()) + "/frame.html'></iframe></body>");
    const auto record = sandbox.home() / "opened-urls";
    auto options = sandbox.options(display);
    options.environment.push_back(pathWithRecordingBrowser(sandbox.home(), record));
    BackgroundProcess app({executable.string()}, options);

    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (lines(record).size() < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    const auto opened = lines(record);
    ASSERT_EQ(opened.size(), 2u) << app.standardErrorSoFar();
    for (const auto& url : opened) {
        EXPECT_EQ(url.rfind("http://127.0.0.1:18484/app-connect?nonce=", 0), 0u) << url;
        EXPECT_EQ(url.find("automatic"), std::string::npos) << "the iframe's message: " << url;
    }
}

TEST(PortSquatter, ShellIsNotLoadedFromAServerThatIsNotOurs) {
    const auto display = testDisplay();
    ASSERT_FALSE(display.empty()) << "run through scripts/run-tests.sh, which starts Xvfb";
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
