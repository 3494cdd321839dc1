#include "webshell/auth_message_handler.h"
#include "webshell/browser_auth_message_handler.h"
#include "webshell/local_shell_origin.h"

#include "auth/session_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zevra {
namespace {

using nlohmann::json;
constexpr const char* token = "0123456789abcdefABCDEF0123456789";
constexpr const char* shell = "http://127.0.0.1:18484";
const std::vector<std::string> rejected = {"[ZEVRA Auth] Rejected invalid local app token"};

TEST(LocalShellOrigin, OnlyTheLoopbackShellOriginCounts) {
    EXPECT_TRUE(messageIsFromLocalShell("http://127.0.0.1:18484"));
    EXPECT_TRUE(messageIsFromLocalShell("http://localhost:18484"));
    for (const char* other :
         {"https://127.0.0.1:18484", "http://127.0.0.1", "http://127.0.0.1:18485",
          "http://LOCALHOST:18484", "http://127.0.0.2:18484", "https://zevra.example", "null", "",
          "http://127.0.0.1:18484/", "http://localhost.zevra.example:18484"}) {
        EXPECT_FALSE(messageIsFromLocalShell(other)) << other;
    }
}

class RecordingLog final : public SystemLog {
public:
    std::vector<std::string> lines;
    void write(std::string_view line) override { lines.emplace_back(line); }
};

class RecordingWorkspace final : public Workspace {
public:
    std::vector<std::string> opened;
    bool openURL(const std::string& url) override {
        opened.push_back(url);
        return true;
    }
    void revealFolder(const std::string&) override {}
};

class ScriptMessageHandlersTest : public ::testing::Test {
protected:
    testing::SessionFixture fixture;
    std::shared_ptr<BrowserSession> session = fixture.makeSession();
    RecordingLog log;
    RecordingWorkspace workspace;
    bool serverListening = true;
    std::vector<std::function<void()>> mainQueue;
    const LocalServerListening listening = [this] { return serverListening; };
    AuthMessageHandler auth{session, log, listening};
    BrowserAuthMessageHandler begin{
        session, workspace, [this](std::function<void()> work) { mainQueue.push_back(work); },
        listening};

    void runMainQueue() {
        for (const auto& work : std::exchange(mainQueue, {})) {
            work();
        }
    }
};

TEST_F(ScriptMessageHandlersTest, AuthMessageTakesOnlyAWellFormedTokenFromTheShell) {
    const struct {
        json body;
        std::string origin;
        bool logged;
    } cases[] = {
        {{{"token", token}}, "https://zevra.example", false},
        {json(token), shell, false},
        {{{"other", token}}, shell, false},
        {{{"token", 12}}, shell, false},
        {{{"token", ""}}, shell, false},
        {{{"token", std::string(31, 'a')}}, shell, true},
        {{{"token", std::string(token) + "\n"}}, shell, true},
    };
    for (const auto& c : cases) {
        log.lines.clear();
        auth.receive(c.body, c.origin);
        EXPECT_EQ(session->currentToken(), std::nullopt) << c.body;
        EXPECT_EQ(log.lines, c.logged ? rejected : std::vector<std::string>{}) << c.body;
    }
    auth.receive({{"token", token}}, "http://localhost:18484");
    EXPECT_EQ(session->keychain().read(), token);
    // Once the session is gone the message is refused, not acted on.
    session.reset();
    log.lines.clear();
    auth.receive({{"token", token}}, shell);
    EXPECT_EQ(log.lines, rejected);
}

TEST_F(ScriptMessageHandlersTest, BeginAuthOpensTheConnectPageFromTheMainQueue) {
    const std::pair<json, bool> cases[] = {
        {{{"automatic", true}}, true},    {{{"automatic", false}}, false}, {json(true), false},
        {{{"automatic", "true"}}, false}, {{{"automatic", 1}}, false},
    };
    const std::string prefix = "http://127.0.0.1:18484/app-connect?nonce=";
    for (const auto& [body, automatic] : cases) {
        workspace.opened.clear();
        begin.receive(body, shell);
        EXPECT_TRUE(workspace.opened.empty()) << body; // only once the main queue runs
        runMainQueue();
        ASSERT_EQ(workspace.opened.size(), 1u) << body;
        const std::string& url = workspace.opened[0];
        ASSERT_EQ(url.rfind(prefix, 0), 0u) << url;
        EXPECT_TRUE(session->browserAuthIsPending(url.substr(prefix.size(), 64))) << body;
        EXPECT_EQ(url.substr(prefix.size() + 64), automatic ? "&automatic=1" : "") << body;
    }
}

TEST_F(ScriptMessageHandlersTest, BeginAuthOpensNothingWhenItCannotStart) {
    begin.receive({{"automatic", true}}, "https://zevra.example");
    fixture.random.failing = true;
    begin.receive({{"automatic", true}}, shell);
    fixture.random.failing = false;
    session.reset();
    begin.receive({{"automatic", true}}, shell);
    runMainQueue();
    EXPECT_TRUE(workspace.opened.empty());
}

// Another local user's server on the shell's address would receive the connect page and then
// the token: while ours is not listening, the shell's origin proves nothing.
TEST_F(ScriptMessageHandlersTest, NothingIsTrustedWhileOurServerIsNotListening) {
    serverListening = false;
    begin.receive(json::object(), shell);
    auth.receive({{"token", token}}, shell);
    runMainQueue();
    EXPECT_TRUE(workspace.opened.empty());
    EXPECT_EQ(session->currentToken(), std::nullopt);

    // Stopped between the message and the moment the browser would open.
    serverListening = true;
    begin.receive(json::object(), shell);
    serverListening = false;
    runMainQueue();
    EXPECT_TRUE(workspace.opened.empty());
}

} // namespace
} // namespace zevra
