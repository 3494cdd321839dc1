#include "webshell/auth_message_handler.h"
#include "webshell/browser_auth_message_handler.h"

#include "support/session_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zevra {
namespace {

using nlohmann::json;
using Lines = std::vector<std::string>;
constexpr const char* token = "0123456789abcdefABCDEF0123456789";
constexpr const char* shell = "http://127.0.0.1:18484";
const Lines rejected = {"[ZEVRA Auth] Rejected invalid local app token"};

class ScriptMessageHandlersTest : public ::testing::Test, public SystemLog, public Workspace {
protected:
    testing::SessionFixture fixture;
    std::shared_ptr<BrowserSession> session = fixture.makeSession();
    Lines logged, opened;
    bool serverListening = true;
    std::vector<std::function<void()>> mainQueue;
    const LocalServerListening listening = [this] { return serverListening; };
    AuthMessageHandler auth{session, *this, listening};
    BrowserAuthMessageHandler begin{
        session, *this, [this](std::function<void()> work) { mainQueue.push_back(work); },
        listening};

    void write(std::string_view line) override { logged.emplace_back(line); }
    bool openURL(const std::string& url) override {
        opened.push_back(url);
        return true;
    }
    void revealFolder(const std::string&) override {}
    void runMainQueue() {
        for (const auto& work : std::exchange(mainQueue, {})) {
            work();
        }
    }
};

TEST_F(ScriptMessageHandlersTest, AuthMessageTakesOnlyAWellFormedTokenFromTheShell) {
    const std::tuple<json, std::string, bool> cases[] = {
        {{{"token", token}}, "https://zevra.example", false},
        {json(token), shell, false},
        {{{"other", token}}, shell, false},
        {{{"token", 12}}, shell, false},
        {{{"token", ""}}, shell, false},
        {{{"token", std::string(31, 'a')}}, shell, true},
    };
    for (const auto& [body, origin, warned] : cases) {
        logged.clear();
        auth.receive(body, origin);
        EXPECT_EQ(session->currentToken(), std::nullopt) << body;
        EXPECT_EQ(logged, warned ? rejected : Lines{}) << body;
    }
    auth.receive({{"token", token}}, "http://localhost:18484");
    EXPECT_EQ(session->keychain().read(), token);
    session.reset();
    logged.clear();
    auth.receive({{"token", token}}, shell);
    EXPECT_EQ(logged, rejected);
}

TEST_F(ScriptMessageHandlersTest, BeginAuthOpensTheConnectPageFromTheMainQueue) {
    const std::pair<json, bool> cases[] = {
        {{{"automatic", true}}, true},
        {{{"automatic", false}}, false},
        {json(true), false},
        {{{"automatic", "true"}}, false},
    };
    const std::string prefix = "http://127.0.0.1:18484/app-connect?nonce=";
    for (const auto& [body, automatic] : cases) {
        opened.clear();
        begin.receive(body, shell);
        EXPECT_TRUE(opened.empty()) << body; // only once the main queue runs
        runMainQueue();
        ASSERT_THAT(opened, ::testing::ElementsAre(::testing::StartsWith(prefix))) << body;
        EXPECT_TRUE(session->browserAuthIsPending(opened[0].substr(prefix.size(), 64))) << body;
        EXPECT_EQ(opened[0].substr(prefix.size() + 64), automatic ? "&automatic=1" : "") << body;
    }
}

// Another local user's server on the shell's address would receive the connect page and then
// the token: while ours is not listening, the shell's origin proves nothing.
TEST_F(ScriptMessageHandlersTest, NothingOpensOrIsTrustedWhenItCannotStartSafely) {
    serverListening = false;
    begin.receive(json::object(), shell);
    auth.receive({{"token", token}}, shell);
    runMainQueue();
    EXPECT_EQ(session->currentToken(), std::nullopt);
    // Stopped between the message and the moment the browser would open.
    serverListening = true;
    begin.receive(json::object(), shell);
    serverListening = false;
    runMainQueue();
    serverListening = true;
    begin.receive({{"automatic", true}}, "https://zevra.example");
    fixture.random.failing = true;
    begin.receive({{"automatic", true}}, shell);
    fixture.random.failing = false;
    session.reset();
    begin.receive({{"automatic", true}}, shell);
    runMainQueue();
    EXPECT_EQ(opened, Lines{});
}

} // namespace
} // namespace zevra
