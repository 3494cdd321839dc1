#include "update/app_update_flow.h"

#include "app_flow_fixture.h"
#include "update/release_transfer.h"
#include "update/update_installer_script.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

using Flow = UpdateFlowState::Flow;

const std::string token32(32, 'a');

// Each message shown starts with the one expected.
void expectMessages(const std::vector<std::string>& shown, const std::vector<std::string>& expected,
                    const std::string& name) {
    ASSERT_EQ(shown.size(), expected.size()) << name;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_TRUE(shown[i].starts_with(expected[i])) << name << ": " << shown[i];
    }
}

TEST(AppUpdateFlow, ChecksOffersAndEndsTheFlow) {
    const std::string summary =
        "ZEVRA 1.4.0 is available: You are running ZEVRA 1.3.0.\n\n- One\n- "
        "Two\n- Three\n\n";
    const std::string prompt = summary + "ZEVRA can download the update, replace this app, and "
                                         "relaunch. If macOS blocks replacement, the zip will be "
                                         "shown in Finder.";
    const std::string packagePrompt = summary + "This copy of ZEVRA was installed by the package "
                                                "manager; update it there to get the new version.";
    const std::string upToDate = "ZEVRA is up to date: You are running ZEVRA 1.3.0.";
    const std::string couldNot = "Could not check for updates: ";
    // What the host serves, silent, the answers, the messages, what was opened.
    struct Case {
        const char* name;
        std::function<void(AppFlowTest&)> serve;
        bool silent;
        std::vector<std::size_t> answers;
        std::vector<std::string> messages;
        std::vector<std::string> opened;
    };
    const auto serveVersion = [](const std::string& version) {
        return [version](AppFlowTest& t) {
            t.manifest["version"] = version;
            t.manifest["download_url"] = releaseDownloads + "ZEVRA-app-arm64-v" + version + ".zip";
            t.serve();
        };
    };
    const auto serveReleasePage = [](const std::string& page) {
        return [page](AppFlowTest& t) {
            t.manifest["release_notes_url"] = page;
            t.serve();
        };
    };
    const auto refused = [](AppFlowTest& t) {
        t.harness.host->through = makeHttpClient({t.tls.caFile(), {host + ":443:127.0.0.1:1"}});
    };
    const auto installedByPackage = [](AppFlowTest& t) {
        t.settings.bundlePath = "/opt/zevra/ZEVRA.app";
        t.serve();
    };
    const std::string notes = "https://" + host + "/notes";
    const std::vector<Case> cases{
        {"up to date, menu", serveVersion("1.3.0"), false, {}, {upToDate}, {}},
        {"up to date, silent", serveVersion("1.3.0"), true, {}, {}, {}},
        {"unreachable, silent", refused, true, {}, {}, {}},
        {"unreachable, menu", refused, false, {}, {couldNot + "The connection was refused"}, {}},
        {"untrusted certificate",
         [](AppFlowTest& t) {
             t.harness.host->through = makeHttpClient({.connectTo = t.tls.connectTo()});
         },
         false,
         {},
         {couldNot + "A secure (TLS) connection could not be made"},
         {}},
        {"closed without an answer",
         [](AppFlowTest&) {},
         false,
         {},
         {couldNot + "The server closed the connection without answering."},
         {}},
        {"manifest over its transfer limit",
         [](AppFlowTest& t) {
             t.answer(manifestPath, "200 OK", "application/json",
                      std::string(manifestTransferMaxBytes + 1, ' '));
         },
         false,
         {},
         {couldNot + "The response was larger than the 1 MiB allowed."},
         {}},
        {"manifest refused",
         [](AppFlowTest& t) { t.answer(manifestPath, "200 OK", "application/json", "{}"); },
         false,
         {},
         {couldNot + "The update manifest was not readable."},
         {}},
        {"manifest redirected",
         [](AppFlowTest& t) {
             t.answer(manifestPath, "302 Found", "text/plain\r\nLocation: " + archiveURL, "");
             t.serve(); // the redirect's target is never asked for
             t.answer(manifestPath, "302 Found", "text/plain\r\nLocation: " + archiveURL, "");
         },
         false,
         {},
         {couldNot + "The update manifest was not readable."},
         {}},
        {"later", serveVersion("1.4.0"), true, {1}, {prompt}, {}},
        {"release page", serveReleasePage(notes), true, {2}, {prompt}, {notes}},
        {"release page on another host",
         serveReleasePage("https://elsewhere.example/notes"),
         true,
         {2},
         {prompt},
         {}},
        {"installed by the package manager", installedByPackage, true, {0}, {packagePrompt}, {}},
        {"installed by the package manager, release page",
         installedByPackage,
         true,
         {1},
         {packagePrompt},
         {notes}},
    };
    for (const auto& c : cases) {
        AppFlowTest t;
        c.serve(t);
        t.check(c.silent, c.answers);
        expectMessages(t.harness.messages(), c.messages, c.name);
        EXPECT_EQ(t.harness.opened, c.opened) << c.name;
        EXPECT_FALSE(t.state.running(Flow::app)) << c.name;
        // Only the manifest was asked for; nothing was downloaded or saved.
        EXPECT_LE(t.tls.requests().size(), 1U) << c.name;
        EXPECT_FALSE(std::filesystem::exists(t.harness.folder.path() / "Downloads")) << c.name;
    }
}

TEST(AppUpdateFlow, ASecondCheckWhileOneRunsSendsNothing) {
    AppFlowTest t;
    t.serve();
    AppUpdateFlow flow(t.harness.environment(), t.settings, t.state);
    flow.checkForUpdates(false);
    flow.checkForUpdates(true);
    flow.checkForUpdates(false);
    t.harness.answers = {0, 1}; // "OK", then "Later"
    t.harness.settle();
    ASSERT_EQ(t.harness.alerts.size(), 2U);
    EXPECT_EQ(t.harness.messages()[0], "Update already running: ZEVRA is already checking or "
                                       "preparing an app update.");
    EXPECT_EQ(t.harness.alerts[1].buttons,
              (std::vector<std::string>{"Install and Relaunch", "Later", "Release Page"}));
    ASSERT_EQ(t.harness.host->requests.size(), 1U);
    const auto& request = t.harness.host->requests[0];
    EXPECT_EQ(request.timeout, std::chrono::seconds(30));
    EXPECT_TRUE(request.stallTimeout);
    const auto arrived = t.tls.requests();
    ASSERT_EQ(arrived.size(), 1U);
    EXPECT_TRUE(arrived[0].head.starts_with("GET " + manifestPath + " HTTP/1.1\r\n"))
        << arrived[0].head;
    EXPECT_NE(arrived[0].head.find("\r\nCache-Control: no-cache\r\nPragma: no-cache\r\n"),
              std::string::npos)
        << arrived[0].head;
}

TEST(AppUpdateFlow, RefusesABadDownload) {
    const std::string trusted =
        "The download did not come from the trusted " + host + " release host.";
    struct Case {
        const char* name;
        std::function<void(AppFlowTest&)> change;
        std::string message;
    };
    const std::vector<Case> cases{
        {"served as octet-stream", [](AppFlowTest& t) { t.serve("application/octet-stream"); },
         "Update verification failed: " + trusted},
        {"wrong size",
         [](AppFlowTest& t) {
             t.manifest["bytes"] = t.archive.bytes.size() + 1;
             t.serve();
         },
         "Update verification failed: Size verification failed (received "},
        {"wrong digest",
         [](AppFlowTest& t) {
             t.manifest["sha256"] = std::string(64, 'b');
             t.serve();
         },
         "Update verification failed: SHA-256 verification failed. The archive was not "
         "installed."},
        {"archive not answered",
         [](AppFlowTest& t) {
             t.answer(manifestPath, "200 OK", "application/json", t.manifest.dump());
         },
         "Download failed: The server closed the connection without answering."},
    };
    for (const auto& c : cases) {
        AppFlowTest t;
        c.change(t);
        t.check(false, {0});
        ASSERT_EQ(t.harness.messages().size(), 2U) << c.name;
        EXPECT_TRUE(t.harness.messages()[1].starts_with(c.message)) << t.harness.messages()[1];
        EXPECT_FALSE(t.state.running(Flow::app)) << c.name;
        EXPECT_FALSE(std::filesystem::exists(t.saved())) << c.name;
        EXPECT_TRUE(t.harness.started.empty()) << c.name;
    }
}

TEST(AppUpdateFlow, SavesHandsOverAndQuitsIntoTheInstaller) {
    struct Case {
        const char* name;
        std::optional<std::string> token;
        std::vector<std::filesystem::path> tools;
        std::string message; // empty: the installer started and the app quit
    };
    const std::string downloaded = "Update downloaded: ZEVRA could not replace itself "
                                   "automatically, so the update zip was shown in Finder.";
    const std::vector<Case> cases{
        {"signed out", std::nullopt, {"/bin/sh"}, ""},
        {"signed in", token32, {"/bin/sh"}, ""},
        {"installer tools missing", token32, {"/bin/sh", "/usr/bin/ditto-absent"}, downloaded},
    };
    for (const auto& c : cases) {
        AppFlowTest t;
        t.serve();
        t.token = c.token;
        t.settings.installerTools = c.tools;
        t.check(true, {0});
        const auto saved = t.saved();
        EXPECT_EQ(testing::readFile(saved), t.archive.bytes) << c.name;
        const bool installing = c.message.empty();
        EXPECT_EQ(t.quit, installing) << c.name;
        EXPECT_EQ(t.state.running(Flow::app), installing) << c.name;
        const auto handedOver = t.handoff.consume("1.4.0");
        EXPECT_EQ(handedOver, installing ? c.token : std::nullopt) << c.name;
        if (!installing) {
            ASSERT_EQ(t.harness.messages().size(), 2U) << c.name;
            EXPECT_TRUE(t.harness.messages()[1].starts_with(c.message)) << c.name;
            EXPECT_TRUE(t.harness.started.empty()) << c.name;
            EXPECT_EQ(t.harness.revealed.size(), c.message == downloaded ? 1U : 0U) << c.name;
            continue;
        }
        ASSERT_FALSE(t.harness.progressShown.empty()) << c.name;
        EXPECT_EQ(t.harness.progressShown.back(), 1.0) << c.name;
        EXPECT_EQ(t.harness.openProgressWindows, 0) << c.name;
        ASSERT_EQ(t.harness.started.size(), 1U) << c.name;
        const auto& argv = t.harness.started[0];
        ASSERT_EQ(argv.size(), 7U) << c.name;
        EXPECT_EQ(std::vector<std::string>(argv.begin() + 2, argv.end()),
                  (std::vector<std::string>{saved.string(), t.settings.bundlePath.string(), "1.4.0",
                                            "4242", "launch"}));
        EXPECT_EQ(argv[0], "/bin/bash");
        EXPECT_EQ(testing::readFile(argv[1]), hardenedUpdateInstallerScript);
        EXPECT_EQ(std::filesystem::status(argv[1]).permissions(), std::filesystem::perms(0755));
    }
}

TEST(AppUpdateFlow, ACancelledDownloadEndsQuietly) {
    AppFlowTest t;
    t.serve();
    t.harness.cancelDownloads = true;
    t.check(false, {0});
    EXPECT_EQ(t.harness.alerts.size(), 1U); // the offer only
    EXPECT_FALSE(t.state.running(Flow::app));
    EXPECT_EQ(t.harness.openProgressWindows, 0);
    EXPECT_FALSE(std::filesystem::exists(t.harness.folder.path() / "Downloads"));
}

TEST(PackageManagedBundle, IsTheOneUnderOptZevra) {
    for (const auto& [path, managed] :
         std::vector<std::pair<std::string, bool>>{{"/opt/zevra/ZEVRA.app", true},
                                                   {"/opt/zevra/../zevra/ZEVRA.app", true},
                                                   {"/opt/zevra-old/ZEVRA.app", false},
                                                   {"/home/u/Applications/ZEVRA.app", false},
                                                   {"opt/zevra/ZEVRA.app", false}}) {
        EXPECT_EQ(isPackageManagedBundle(path), managed) << path;
    }
}

} // namespace
} // namespace zevra
