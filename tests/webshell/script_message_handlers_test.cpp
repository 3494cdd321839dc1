#include "webshell/auth_message_handler.h"
#include "webshell/browser_auth_message_handler.h"
#include "webshell/local_shell_origin.h"

#include "auth/session_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace zevra {
namespace {

using nlohmann::json;
constexpr const char* token = "0123456789abcdefABCDEF0123456789";
constexpr const char* shell = "http://127.0.0.1:18484";

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

// The handlers' rules need a keyring that keeps what it is given, not the desktop's.
class MemoryKeyring final : public Keyring {
public:
    std::optional<std::string> find(const std::string& service,
                                    const std::string& account) override {
        const auto item = items.find({service, account});
        return item == items.end() ? std::nullopt : std::optional(item->second);
    }
    bool add(const std::string& service, const std::string& account,
             const std::string& data) override {
        items[{service, account}] = data;
        return true;
    }
    void remove(const std::string& service, const std::string& account) override {
        items.erase({service, account});
    }
    std::map<std::pair<std::string, std::string>, std::string> items;
};

class ScriptMessageHandlersTest : public ::testing::Test {
protected:
    void SetUp() override {
        fixture.keyring = &keyring;
        session = fixture.makeSession();
    }

    MemoryKeyring keyring;
    testing::SessionFixture fixture;
    std::shared_ptr<BrowserSession> session;
    RecordingLog log;
    RecordingWorkspace workspace;
    bool serverListening = true;
    std::vector<std::function<void()>> mainQueue;

    LocalServerListening listening() {
        return [this] { return serverListening; };
    }
    AuthMessageHandler authHandler() { return AuthMessageHandler(session, log, listening()); }
    BrowserAuthMessageHandler beginHandler() {
        return BrowserAuthMessageHandler(
            session, workspace,
            [this](std::function<void()> work) { mainQueue.push_back(std::move(work)); },
            listening());
    }
    void runMainQueue() {
        for (const auto& work : mainQueue) {
            work();
        }
        mainQueue.clear();
    }
};

TEST_F(ScriptMessageHandlersTest, AuthMessageActivatesAWellFormedToken) {
    auto handler = authHandler();
    handler.receive({{"token", token}}, "http://localhost:18484");
    EXPECT_EQ(session->currentToken(), token);
    EXPECT_EQ(session->keychain().read(), token);
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(ScriptMessageHandlersTest, AuthMessageIgnoresOrLogsWhatItCannotUse) {
    const struct {
        const char* what;
        json body;
        std::string origin;
        bool logged;
    } cases[] = {
        {"from the site", {{"token", token}}, "https://zevra.example", false},
        {"other port", {{"token", token}}, "http://127.0.0.1:18485", false},
        {"not a dictionary", json(token), shell, false},
        {"no token", {{"other", token}}, shell, false},
        {"token not a string", {{"token", 12}}, shell, false},
        {"empty token", {{"token", ""}}, shell, false},
        {"31 digits", {{"token", std::string(31, 'a')}}, shell, true},
        {"trailing line feed", {{"token", std::string(token) + "\n"}}, shell, true},
    };
    auto handler = authHandler();
    for (const auto& c : cases) {
        log.lines.clear();
        handler.receive(c.body, c.origin);
        EXPECT_EQ(session->currentToken(), std::nullopt) << c.what;
        const std::vector<std::string> expected =
            c.logged ? std::vector<std::string>{"[ZEVRA Auth] Rejected invalid local app token"}
                     : std::vector<std::string>{};
        EXPECT_EQ(log.lines, expected) << c.what;
    }
}

TEST_F(ScriptMessageHandlersTest, AuthMessageAfterTheServerIsGoneIsLogged) {
    auto handler = authHandler();
    session.reset();
    handler.receive({{"token", token}}, shell);
    EXPECT_EQ(log.lines, std::vector<std::string>{"[ZEVRA Auth] Rejected invalid local app token"});
}

TEST_F(ScriptMessageHandlersTest, BeginAuthOpensTheConnectPageFromTheMainQueue) {
    const struct {
        const char* what;
        json body;
        bool automatic;
    } cases[] = {
        {"automatic", {{"automatic", true}}, true},
        {"not automatic", {{"automatic", false}}, false},
        {"no dictionary", json(true), false},
        {"null body", json(), false},
        {"automatic as string", {{"automatic", "true"}}, false},
        {"automatic as number", {{"automatic", 1}}, false},
    };
    auto handler = beginHandler();
    for (const auto& c : cases) {
        workspace.opened.clear();
        handler.receive(c.body, shell);
        EXPECT_TRUE(workspace.opened.empty()) << c.what; // only once the main queue runs
        runMainQueue();
        ASSERT_EQ(workspace.opened.size(), 1u) << c.what;
        const std::string& url = workspace.opened[0];
        const std::string prefix = "http://127.0.0.1:18484/app-connect?nonce=";
        ASSERT_EQ(url.rfind(prefix, 0), 0u) << url;
        const std::string nonce = url.substr(prefix.size(), 64);
        EXPECT_TRUE(session->browserAuthIsPending(nonce)) << c.what;
        EXPECT_EQ(url.substr(prefix.size() + 64), c.automatic ? "&automatic=1" : "") << c.what;
    }
}

TEST_F(ScriptMessageHandlersTest, BeginAuthOpensNothingWhenItCannotStart) {
    auto handler = beginHandler();
    handler.receive({{"automatic", true}}, "https://zevra.example");
    fixture.random.failing = true;
    handler.receive({{"automatic", true}}, shell);
    fixture.random.failing = false;
    session.reset();
    handler.receive({{"automatic", true}}, shell);
    runMainQueue();
    EXPECT_TRUE(workspace.opened.empty());
}

// Another local user's server on the shell's address would receive the connect page and then
// the token: while ours is not listening, the shell's origin proves nothing.
TEST_F(ScriptMessageHandlersTest, NothingIsTrustedWhileOurServerIsNotListening) {
    auto begin = beginHandler();
    auto auth = authHandler();
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
