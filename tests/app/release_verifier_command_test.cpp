#include "app/release_verifier_command.h"

#include "update/extension_manifest_fixture.h"
#include "update/zip_fixture.h"

#include "support/child_process.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace zevra {
namespace {

using namespace std::chrono_literals;
using testing::TemporaryFolder;

std::string programPath() {
    return std::string(ZEVRA_BUNDLE_DIR) + "/Contents/MacOS/ZEVRA";
}

// True while another copy of the application holds the single-instance lock; a copy started
// then hands over and exits instead of starting.
bool anotherCopyRuns() {
    const std::string path = "/tmp/com.kelmor.zevra." + std::to_string(getuid()) + ".lock";
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd); // drops our lock too
    return held;
}

class ReleaseVerifierCommand : public ::testing::Test {
protected:
    void SetUp() override { testing::writeZipFixture(goodArchive, testing::appShapedEntries()); }

    // The program run in the fixture's folder, without a display.
    testing::ProcessOptions options() const {
        testing::ProcessOptions options;
        options.unsetEnvironment = {"DISPLAY", "WAYLAND_DISPLAY"};
        options.environment = {"HOME=" + folder.path().string()};
        options.timeout = 30s;
        return options;
    }

    std::optional<ReleaseVerifierOutcome> outcome(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), "/Applications/ZEVRA.app/Contents/MacOS/ZEVRA");
        return releaseVerifierOutcome(arguments);
    }

    TemporaryFolder folder;
    std::filesystem::path goodArchive = folder.path() / "good.zip";
    std::filesystem::path goodManifest =
        folder.write("manifest.json", testing::approvedExtensionManifest("1.7.0").dump(2));
};

TEST_F(ReleaseVerifierCommand, VerdictsOfTheSwitches) {
    const auto manifestOfSize = [&](std::size_t size) {
        auto manifest = testing::approvedExtensionManifest("1.7.0").dump();
        manifest.append(size - manifest.size(), ' ');
        return folder.write("sized-" + std::to_string(size) + ".json", manifest).string();
    };
    const std::vector<std::pair<std::vector<std::string>, bool>> cases{
        {{"--verify-release-archive", "app", goodArchive.string()}, true},
        {{"--verify-release-archive", "extension", goodArchive.string()}, true},
        {{"--verify-release-archive", "App", goodArchive.string()}, false},
        {{"--verify-release-archive", "", goodArchive.string()}, false},
        {{"--verify-extension-manifest", goodManifest.string(), "1.7.0"}, true},
        {{"--verify-extension-manifest", goodManifest.string(), "1.7.1"}, false},
        {{"--verify-extension-manifest", manifestOfSize(65536), "1.7.0"}, true},
        {{"--verify-extension-manifest", manifestOfSize(65537), "1.7.0"}, false},
        {{"--verify-extension-manifest", folder.write("broken.json", "{\"a\":").string(), "1.7.0"},
         false},
        {{"--verify-extension-manifest", (folder.path() / "missing.json").string(), "1.7.0"},
         false},
        {{"--verify-extension-manifest", folder.path().string(), "1.7.0"}, false},
        {{"--verify-extension-manifest", "/dev/zero", "1.7.0"}, false},
    };
    for (const auto& [arguments, approved] : cases) {
        const auto result = outcome(arguments);
        ASSERT_TRUE(result) << arguments[1] << " " << arguments[2];
        EXPECT_EQ(result->standardOutput, approved ? "approved\n" : "rejected\n") << arguments[2];
        EXPECT_EQ(result->exitCode, approved ? 0 : 64) << arguments[2];
    }
}

TEST_F(ReleaseVerifierCommand, OtherCommandLinesAreNotSwitches) {
    const std::vector<std::vector<std::string>> lines{
        {},
        {"--print-update-installer", "extra"},
        {"--verify-release-archive", "app"},
        {"--verify-release-archive", "app", goodArchive.string(), "extra"},
        {"--verify-extension-manifest", goodManifest.string()},
        {"--print-update-installer "},
        {"--Verify-release-archive", "app", goodArchive.string()},
        {"-psn_0_12345"},
    };
    for (const auto& line : lines) {
        EXPECT_EQ(outcome(line), std::nullopt) << (line.empty() ? "" : line[0]);
    }
    EXPECT_EQ(releaseVerifierOutcome({}), std::nullopt);
}

// Archive names are taken as plain paths from the current folder: neither options nor patterns.
TEST_F(ReleaseVerifierCommand, RunsAsAProcess) {
    std::filesystem::copy_file(goodArchive, folder.path() / "-ok.zip");
    std::filesystem::copy_file(goodArchive, folder.path() / "a1.zip");
    auto entries = testing::appShapedEntries();
    entries.push_back(testing::zipLink("ZEVRA.app/Contents/link", "/etc/passwd"));
    testing::writeZipFixture(folder.path() / "a[1].zip", entries);
    struct Case {
        std::vector<std::string> arguments;
        std::string output; // its start
        int exitCode;
    };
    const std::vector<Case> cases{
        {{"--print-update-installer"}, "#!/bin/bash\n", 0},
        {{"--verify-release-archive", "app", "-ok.zip"}, "approved\n", 0},
        {{"--verify-release-archive", "app", "a[1].zip"}, "rejected\n", 64},
        {{"--verify-extension-manifest", "manifest.json", "1.7.0"}, "approved\n", 0},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv{"/bin/sh", "-c", "cd \"$0\" && exec \"$@\"",
                                      folder.path().string(), programPath()};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        const auto result = testing::runProcess(argv, options());
        EXPECT_TRUE(result.standardOutput.starts_with(c.output)) << c.arguments.back();
        EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments.back();
        EXPECT_EQ(result.standardError, "") << c.arguments.back();
    }
}

TEST_F(ReleaseVerifierCommand, ACommandLineWithoutASwitchStartsTheApplication) {
    if (anotherCopyRuns()) {
        GTEST_SKIP() << "another copy of ZEVRA holds the single-instance lock";
    }
    testing::BackgroundProcess app({programPath(), "--verify-release-archive", "app"}, options());
    // The application announces that it runs without a display, and keeps running.
    std::string errors;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        errors = app.standardErrorSoFar();
        if (errors.find("runs without a window") != std::string::npos) {
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_NE(errors.find("runs without a window"), std::string::npos);
    EXPECT_EQ(app.wait(0ms), std::nullopt);
    app.kill(SIGKILL);
    const auto result = app.wait(10s);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->standardOutput, "");
}

} // namespace
} // namespace zevra
