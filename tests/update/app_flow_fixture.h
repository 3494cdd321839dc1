#pragma once

#include "support/https_upstream.h"
#include "update/app_update_flow.h"
#include "update_flow_fixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <mutex>

namespace zevra {

using testing::releaseDownloads;

inline const std::string manifestPath = "/downloads/zevra-app-latest.json";
inline const std::string archivePath = "/downloads/ZEVRA-app-arm64-v1.4.0.zip";
inline const std::string manifestURL = releaseDownloads + "zevra-app-latest.json";
inline const std::string archiveURL = releaseDownloads + "ZEVRA-app-arm64-v1.4.0.zip";
inline const std::string host = config::ReleaseHost;

inline nlohmann::json appManifest(const std::string& version,
                                  const testing::ServedArchive& archive) {
    return {{"schema_version", "zevra-release-manifest-v1"},
            {"channel", "direct"},
            {"product", "zevra-macos-app"},
            {"version", version},
            {"architecture", "arm64"},
            {"minimum_macos", "12.0"},
            {"download_url", releaseDownloads + "ZEVRA-app-arm64-v" + version + ".zip"},
            {"sha256", archive.sha256},
            {"bytes", archive.bytes.size()},
            {"notes", {"One", "Two", "Three", "Four"}},
            {"release_notes_url", "https://" + host + "/notes"}};
}

// A release host on loopback over HTTPS offering 1.4.0 to a running 1.3.0, and the flow wired
// to it. Requests for anything not served get the connection closed without an answer.
struct AppFlowTest {
    testing::UpdateFlowHarness harness;
    const testing::ServedArchive archive =
        testing::makeArchive(harness.folder.path() / "served.zip", testing::appShapedEntries());
    nlohmann::json manifest = appManifest("1.4.0", archive);
    std::mutex servedLock;
    std::map<std::string, std::string> served; // "GET /path" to the bytes sent back
    testing::HttpsUpstream tls{
        {host}, [this](const testing::UpstreamRequest& request) {
            const std::lock_guard guard(servedLock);
            const auto answer = served.find(request.head.substr(0, request.head.find(" HTTP/")));
            return testing::UpstreamAnswer{answer == served.end() ? "" : answer->second};
        }};
    UpdateFlowState state;
    const PendingSessionHandoffStore handoff;
    std::optional<std::string> token;
    bool quit = false;
    AppUpdateSettings settings{"1.3.0",     harness.folder.path() / "Applications/ZEVRA.app",
                               manifestURL, [this] { return token; },
                               &handoff,    [this] { quit = true; },
                               {"/bin/sh"}, 4242};

    // `support`: where the session is handed over; by default a folder of the test's own.
    explicit AppFlowTest(const std::filesystem::path& support = {})
        : handoff(support.empty() ? harness.folder.path() / "support" : support, systemClock()) {
        harness.host->through = makeHttpClient({tls.caFile(), tls.connectTo()});
    }

    void answer(const std::string& path, const std::string& status, const std::string& mime,
                const std::string& body) {
        const std::lock_guard guard(servedLock);
        served["GET " + path] =
            testing::upstreamResponse(status, "Content-Type: " + mime + "\r\n", body);
    }
    void serve(const std::string& archiveMIME = "application/zip") {
        answer(manifestPath, "200 OK", "application/json", manifest.dump());
        answer(archivePath, "200 OK", archiveMIME, archive.bytes);
    }
    // One check from the menu (or the silent one) answered with `answers`, run to its end.
    void check(bool silent, std::vector<std::size_t> answers = {}) {
        harness.answers.assign(answers.begin(), answers.end());
        AppUpdateFlow flow(harness.environment(), settings, state);
        flow.checkForUpdates(silent);
        harness.settle();
        EXPECT_FALSE(state.running(UpdateFlowState::Flow::app) && !quit);
    }
    [[nodiscard]] std::filesystem::path saved() const {
        return harness.folder.path() / "Downloads/ZEVRA-app-1.4.0.zip";
    }
};

} // namespace zevra
