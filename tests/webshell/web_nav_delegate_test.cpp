#include "webshell/web_nav_delegate.h"

#include "platform/headless/headless_web_view.h"
#include "support/manual_clock.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zevra {
namespace {

using namespace std::chrono_literals;

constexpr const char* shell = "http://127.0.0.1:18484/index.html";

class WebNavDelegateTest : public ::testing::Test {
protected:
    struct Scheduled {
        std::chrono::milliseconds delay;
        std::function<void()> work;
        std::shared_ptr<bool> cancelled;
    };
    struct Timer final : MainThreadTimer {
        explicit Timer(std::shared_ptr<bool> cancelled) : cancelled(std::move(cancelled)) {}
        ~Timer() override { *cancelled = true; }
        Timer(const Timer&) = delete;
        Timer& operator=(const Timer&) = delete;
        std::shared_ptr<bool> cancelled;
    };

    testing::ManualClock clock;
    std::vector<Scheduled> scheduled;
    std::vector<std::string> journal;
    std::vector<std::string> shellLoads; // "url timeout" through the launch's shell loader
    WebViewDelegate noDelegate;
    HeadlessWebView view{WebViewConfiguration{}, noDelegate};
    WebNavDelegate delegate{
        WebNavServices{
            .clock = clock,
            .runLater =
                [this](std::chrono::milliseconds delay, std::function<void()> work) {
                    auto cancelled = std::make_shared<bool>(false);
                    scheduled.push_back({delay, std::move(work), cancelled});
                    return std::make_unique<Timer>(cancelled);
                },
            .record =
                [this](std::string_view kind, std::string_view detail) {
                    journal.push_back(std::string(kind) + ": " + std::string(detail));
                },
            .openInBrowser = [](const std::string&) {},
            .saveDataURL = [](const DataURLDownload&) {},
            .loadShellPage =
                [this](WebView&, const URLRequest& request) {
                    shellLoads.push_back(request.url + " " +
                                         std::to_string(request.timeout.count()) +
                                         (request.ignoringLocalCache ? " fresh" : ""));
                    view.loadRequest(request);
                },
        },
        NavigationHosts{"zevra.example", "auth.partner.example"}};

    // Runs the last scheduled work unless it was cancelled; returns its delay.
    std::chrono::milliseconds runScheduled() {
        const Scheduled last = scheduled.back();
        if (!*last.cancelled) {
            last.work();
        }
        return last.delay;
    }
    [[nodiscard]] std::string lastPage() const {
        return view.loads().empty() ? "" : view.loads().back().html.value_or("");
    }
};

TEST_F(WebNavDelegateTest, ShellLoadFailsTwiceRetriedThenShowsRecoveryPage) {
    view.loadURL(shell);
    const NavigationFailure failure{shell, "Could not connect: <refused> & gone",
                                    NavigationFailureKind::Failed};
    delegate.didFailNavigation(view, failure);
    delegate.didFailNavigation(view, failure); // while the retry waits: nothing more
    ASSERT_EQ(scheduled.size(), 1u);
    EXPECT_EQ(runScheduled(), 250ms);
    delegate.didFailNavigation(view, failure);
    EXPECT_EQ(runScheduled(), 500ms);
    EXPECT_EQ(shellLoads, (std::vector<std::string>{std::string(shell) + " 10 fresh",
                                                    std::string(shell) + " 10 fresh"}));
    delegate.didFailNavigation(view, failure);
    EXPECT_EQ(scheduled.size(), 2u);
    EXPECT_NE(lastPage().find("<p>Could not connect: &lt;refused&gt; &amp; gone</p>"),
              std::string::npos)
        << lastPage();
    EXPECT_EQ(view.loads().back().url, shell);

    // The recovery page (with the shell's address) finishing starts a fresh round.
    delegate.didFinishNavigation(view);
    delegate.didFailNavigation(view, failure);
    EXPECT_EQ(scheduled.size(), 3u);
    EXPECT_EQ(scheduled.back().delay, 250ms);
}

TEST_F(WebNavDelegateTest, OnlyRealFailuresOfTheShellStartRecovery) {
    struct Case {
        const char* shown;
        const char* failing;
        NavigationFailureKind kind;
        bool recovers;
    };
    const Case cases[] = {
        {shell, shell, NavigationFailureKind::Failed, true},
        {shell, "https://elsewhere.example/", NavigationFailureKind::Failed, true},
        {"https://elsewhere.example/", shell, NavigationFailureKind::Failed, true},
        {"https://elsewhere.example/", "https://other.example/", NavigationFailureKind::Failed,
         false},
        // A download started from the shell, and a navigation superseded by the next one.
        {shell, shell, NavigationFailureKind::InterruptedByPolicyChange, false},
        {shell, shell, NavigationFailureKind::Cancelled, false},
    };
    for (const auto& [shown, failing, kind, recovers] : cases) {
        WebViewDelegate none;
        HeadlessWebView other{WebViewConfiguration{}, none};
        other.loadURL(shown);
        const std::size_t before = scheduled.size();
        delegate.didFinishNavigation(view); // resets the round between cases
        delegate.didFailNavigation(other, {failing, "failed", kind});
        EXPECT_EQ(scheduled.size() > before, recovers) << shown << " / " << failing;
        scheduled.clear();
        view.loadURL(shell);
        delegate.didFinishNavigation(view);
    }
}

TEST_F(WebNavDelegateTest, ThreeRendererCrashesIn30SecondsShowTheRecoveryPage) {
    view.loadURL("http://127.0.0.1:18484/proxy/page");
    delegate.webContentProcessDidTerminate(view);
    EXPECT_EQ(runScheduled(), 200ms);
    EXPECT_EQ(view.loads().back().url, "http://127.0.0.1:18484/proxy/page");
    EXPECT_EQ(view.loads().back().timeout, 15s);
    EXPECT_TRUE(view.loads().back().ignoringLocalCache);

    clock.advance(20s);
    view.loadURL(shell);
    delegate.webContentProcessDidTerminate(view);
    runScheduled(); // the shell reloads the way this launch shows it (safe start stays)
    EXPECT_EQ(shellLoads, std::vector<std::string>{std::string(shell) + " 15 fresh"});

    clock.advance(9s);
    delegate.webContentProcessDidTerminate(view);
    EXPECT_EQ(scheduled.size(), 2u) << "no reload after the third";
    EXPECT_NE(lastPage().find("The browser engine stopped three times in 30 seconds."),
              std::string::npos);
    EXPECT_NE(lastPage().find("location.href='http://127.0.0.1:18484/index.html'"),
              std::string::npos);

    // Over 30 seconds after all of them, the count starts again.
    clock.advance(31s);
    delegate.webContentProcessDidTerminate(view);
    EXPECT_EQ(scheduled.size(), 3u);
    const std::string detail = "web_content_process_terminated: WKWebView renderer stopped; "
                               "recovery count in 30 seconds: ";
    EXPECT_EQ(journal,
              (std::vector<std::string>{detail + "1", detail + "2", detail + "3", detail + "1"}));
}

} // namespace
} // namespace zevra
