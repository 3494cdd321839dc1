#include "webshell/data_url.h"
#include "webshell/navigation_policy.h"
#include "webshell/theme_colour.h"

#include <gtest/gtest.h>

#include <string>

namespace zevra {
namespace {

const NavigationHosts hosts{"zevra.example", "auth.partner.example"};
constexpr auto Main = NavigationTarget::MainFrame;
constexpr auto Sub = NavigationTarget::SubFrame;
constexpr auto NewWindow = NavigationTarget::NewWindow;
constexpr auto Unknown = NavigationTarget::Unknown;

TEST(NavigationPolicy, ActionsFollowTheRulesInOrder) {
    struct Case {
        const char* url;
        NavigationTarget target;
        ActionPolicy expected;
        bool userGesture = false;
    };
    const Case cases[] = {
        {"", Main, ActionPolicy::Allow},
        {"blob:http://127.0.0.1:18484/x", Sub, ActionPolicy::Cancel},
        {"data:image/png;base64,AAAA", Main, ActionPolicy::SaveDataURL},
        {"data:image/png;base64,AAAA", NewWindow, ActionPolicy::SaveDataURL},
        // A framed data: page is content, not a download.
        {"data:text/html,<p>hi</p>", Sub, ActionPolicy::Allow},
        // The engine names no frame: the response, which does, decides.
        {"data:text/html,<p>hi</p>", Unknown, ActionPolicy::Allow},
        // A frame hands over a sign-in page only on a click; the main frame (or a frame the
        // engine does not name) needs none.
        {"https://accounts.google.com/o/signin", Sub, ActionPolicy::OpenInBrowser, true},
        {"https://accounts.google.com/o/signin", Sub, ActionPolicy::Cancel},
        {"https://accounts.google.com/o/signin", Unknown, ActionPolicy::OpenInBrowser},
        {"https://auth.partner.example/oauth/start", Sub, ActionPolicy::Cancel},
        {"https://id.example.org/o/oauth2/auth?client=1", Main, ActionPolicy::OpenInBrowser},
        {"https://auth.partner.example/oauth/start", Main, ActionPolicy::OpenInBrowser},
        // Other schemes, or the words only in the query, open nothing.
        {"smb://h/s?oauth2/auth", Sub, ActionPolicy::Cancel},
        {"file:///etc/passwd?oauth2/auth", Main, ActionPolicy::Cancel},
        {"http://accounts.google.com/", Main, ActionPolicy::Cancel},
        {"https://evil.example/?next=accounts.google.com", Main, ActionPolicy::Cancel},
        {"https://evil.example/x?auth.partner.example/oauth", Main, ActionPolicy::Cancel},
        {"https://zevra.example/world/1", Sub, ActionPolicy::Allow},
        {"https://zevra.example/world/1", Main, ActionPolicy::Cancel},
        {"http://zevra.example/", NewWindow, ActionPolicy::Cancel},
        {"https://zevra.example/", Unknown, ActionPolicy::Allow},
        {"https://www.zevra.example/", Main, ActionPolicy::Allow},
        {"http://127.0.0.1:18484/proxy/x", Main, ActionPolicy::Allow},
    };
    for (const auto& [url, target, expected, userGesture] : cases) {
        EXPECT_EQ(navigationActionPolicy({url, target, userGesture}, hosts), expected) << url;
    }
}

TEST(NavigationPolicy, ResponsesDecideWhatTheFrameMatters) {
    struct Case {
        const char* url;
        bool isMainFrame;
        bool canShow;
        const char* disposition;
        ResponsePolicy expected;
    };
    const Case cases[] = {
        {"data:image/jpeg;base64,AAAA", true, true, "", ResponsePolicy::SaveDataURL},
        {"data:text/html,<p>hi</p>", false, true, "", ResponsePolicy::Allow},
        {"https://zevra.example/x", true, true, "", ResponsePolicy::Ignore},
        {"https://zevra.example/x", false, true, "", ResponsePolicy::Allow},
        {"http://127.0.0.1:18484/a.zip", true, false, "", ResponsePolicy::Download},
        {"http://127.0.0.1:18484/a", false, true, "Attachment; filename=x",
         ResponsePolicy::Download},
        {"http://127.0.0.1:18484/a", true, true, "inline", ResponsePolicy::Allow},
    };
    for (const auto& [url, isMainFrame, canShow, disposition, expected] : cases) {
        NavigationResponse response{url, "text/html", canShow, isMainFrame, 200, disposition};
        EXPECT_EQ(navigationResponsePolicy(response, hosts), expected) << url;
    }
}

TEST(NavigationPolicy, NativeShellURLs) {
    const std::pair<const char*, bool> cases[] = {
        {"http://localhost:18484", true},
        {"http://127.0.0.1:18484/", true},
        {"http://127.0.0.1:18484/index.html?x=1#top", true},
        {"http://127.0.0.1/index.html", false},
        {"http://127.0.0.1:18484/other.html", false},
        {"http://127.0.0.2:18484/", false},
        {"", false},
    };
    for (const auto& [url, expected] : cases) {
        EXPECT_EQ(isNativeShellURL(url), expected) << url;
    }
}

// Decoding has its own table (download_saving_test); a download needs some bytes.
TEST(DataURL, IsADownloadOnlyWithBytes) {
    struct Case {
        const char* url;
        std::optional<std::string> bytes;
        const char* extension;
    };
    const Case cases[] = {
        {"data:image/svg+xml;base64,aGk=", "hi", "svg"},
        {"data:application/octet-stream,", std::nullopt, ""},
        {"data:text/plain;base64,%%%", std::nullopt, ""},
    };
    for (const auto& [url, bytes, extension] : cases) {
        const auto download = handleDataURL(url);
        ASSERT_EQ(download.has_value(), bytes.has_value()) << url;
        if (download) {
            EXPECT_EQ(std::string(download->data.begin(), download->data.end()), *bytes) << url;
            EXPECT_EQ(download->extension, extension) << url;
        }
    }
}

TEST(ThemeColour, TakesSixHexDigits) {
    const std::pair<nlohmann::json, std::optional<std::string>> cases[] = {
        {" #1A2b3C\n", "#1a2b3c"},   {"c0c0c0", "#c0c0c0"},      {"#abc", std::nullopt},
        {"#11223344", std::nullopt}, {"##112233", std::nullopt}, {"#11223g", std::nullopt},
        {112233, std::nullopt},
    };
    for (const auto& [body, expected] : cases) {
        EXPECT_EQ(themeColour(body), expected) << body.dump();
    }
}

} // namespace
} // namespace zevra
