#include "app/release_verifier_command.h"

#include "update/extension_manifest_fixture.h"
#include "update/update_installer_script.h"
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
    void SetUp() override {
        goodArchive = folder.path() / "good.zip";
        testing::writeZipFixture(goodArchive, testing::appShapedEntries("deflated"));
        badArchive = folder.path() / "bad.zip";
        testing::ZipFixtureEntry traversal;
        traversal.name = "a/../b";
        testing::writeZipFixture(badArchive, {traversal});
        goodManifest =
            folder.write("manifest.json", testing::approvedExtensionManifest("1.7.0").dump(2));
    }

    testing::ProcessResult run(const std::vector<std::string>& arguments) const {
        std::vector<std::string> argv{programPath()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        testing::ProcessOptions options;
        options.unsetEnvironment = {"DISPLAY", "WAYLAND_DISPLAY"};
        options.environment = {"HOME=" + folder.path().string()};
        options.timeout = 30s;
        return testing::runProcess(argv, options);
    }

    std::optional<ReleaseVerifierOutcome> outcome(const std::vector<std::string>& arguments) const {
        std::vector<std::string> all{"/Applications/ZEVRA.app/Contents/MacOS/ZEVRA"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return releaseVerifierOutcome(all);
    }

    TemporaryFolder folder;
    std::filesystem::path goodArchive;
    std::filesystem::path badArchive;
    std::filesystem::path goodManifest;
};

TEST_F(ReleaseVerifierCommand, VerdictsOfTheSwitches) {
    const auto manifestOfSize = [&](std::size_t size) {
        auto manifest = testing::approvedExtensionManifest("1.7.0").dump();
        manifest.append(size - manifest.size(), ' ');
        return folder.write("sized-" + std::to_string(size) + ".json", manifest).string();
    };
    struct Case {
        std::vector<std::string> arguments;
        bool approved;
    };
    const std::vector<Case> cases{
        {{"--verify-release-archive", "app", goodArchive.string()}, true},
        {{"--verify-release-archive", "extension", goodArchive.string()}, true},
        {{"--verify-release-archive", "app", badArchive.string()}, false},
        {{"--verify-release-archive", "App", goodArchive.string()}, false},
        {{"--verify-release-archive", "", goodArchive.string()}, false},
        {{"--verify-release-archive", "app", (folder.path() / "missing.zip").string()}, false},
        {{"--verify-extension-manifest", goodManifest.string(), "1.7.0"}, true},
        {{"--verify-extension-manifest", goodManifest.string(), "1.7.1"}, false},
        {{"--verify-extension-manifest", manifestOfSize(65536), "1.7.0"}, true},
        {{"--verify-extension-manifest", manifestOfSize(65537), "1.7.0"}, false},
        {{"--verify-extension-manifest", folder.write("array.json", "[{}]").string(), "1.7.0"},
         false},
        {{"--verify-extension-manifest", folder.write("broken.json", "{\"a\":").string(), "1.7.0"},
         false},
        {{"--verify-extension-manifest", (folder.path() / "missing.json").string(), "1.7.0"},
         false},
        {{"--verify-extension-manifest", folder.path().string(), "1.7.0"}, false},
        {{"--verify-extension-manifest", "/dev/zero", "1.7.0"}, false},
    };
    for (const auto& c : cases) {
        const auto result = outcome(c.arguments);
        ASSERT_TRUE(result) << c.arguments[1] << " " << c.arguments[2];
        EXPECT_EQ(result->standardOutput, c.approved ? "approved\n" : "rejected\n")
            << c.arguments[2];
        EXPECT_EQ(result->exitCode, c.approved ? 0 : 64) << c.arguments[2];
    }
}

TEST_F(ReleaseVerifierCommand, OtherCommandLinesAreNotSwitches) {
    const std::vector<std::vector<std::string>> lines{
        {},
        {"--print-update-installer", "extra"},
        {"--verify-release-archive", "app"},
        {"--verify-release-archive", "app", goodArchive.string(), "extra"},
        {"--verify-extension-manifest", goodManifest.string()},
        {
            "--print-update-installer ",
        },
        {"--Verify-release-archive", "app", goodArchive.string()},
        {"-psn_0_12345"},
    };
    for (const auto& line : lines) {
        EXPECT_EQ(outcome(line), std::nullopt) << (line.empty() ? "" : line[0]);
    }
    EXPECT_EQ(releaseVerifierOutcome({}), std::nullopt);
}

TEST_F(ReleaseVerifierCommand, RunsAsAProcess) {
    const auto printed = run({"--print-update-installer"});
    EXPECT_EQ(printed.exitCode, 0);
    EXPECT_EQ(printed.standardOutput, std::string(hardenedUpdateInstallerScript) + "\n");
    EXPECT_EQ(printed.standardOutput.size(), 2363u);
    EXPECT_EQ(printed.standardError, "");

    const auto approved = run({"--verify-release-archive", "app", goodArchive.string()});
    EXPECT_EQ(approved.exitCode, 0);
    EXPECT_EQ(approved.standardOutput, "approved\n");
    EXPECT_EQ(approved.standardError, "");

    const auto rejected = run({"--verify-release-archive", "app", badArchive.string()});
    EXPECT_EQ(rejected.exitCode, 64);
    EXPECT_EQ(rejected.standardOutput, "rejected\n");
    EXPECT_EQ(rejected.standardError, "");

    const auto unknownKind = run({"--verify-release-archive", "firmware", "/nonexistent"});
    EXPECT_EQ(unknownKind.exitCode, 64);
    EXPECT_EQ(unknownKind.standardOutput, "rejected\n");
    EXPECT_EQ(unknownKind.standardError, "");

    const auto manifest = run({"--verify-extension-manifest", goodManifest.string(), "1.7.0"});
    EXPECT_EQ(manifest.exitCode, 0);
    EXPECT_EQ(manifest.standardOutput, "approved\n");

    const auto broken =
        run({"--verify-extension-manifest", folder.write("x.json", "nope").string(), "1.7.0"});
    EXPECT_EQ(broken.exitCode, 64);
    EXPECT_EQ(broken.standardOutput, "rejected\n");
    EXPECT_EQ(broken.standardError, "");
}

TEST_F(ReleaseVerifierCommand, ArchiveNamesAreTakenAsPlainPathsFromTheCurrentFolder) {
    std::filesystem::copy_file(goodArchive, folder.path() / "-ok.zip");
    std::filesystem::copy_file(goodArchive, folder.path() / "a1.zip");
    auto entries = testing::appShapedEntries("deflated");
    entries.push_back(testing::zipSymbolicLink("ZEVRA.app/Contents/link", "/etc/passwd"));
    testing::writeZipFixture(folder.path() / "a[1].zip", entries);

    struct Case {
        std::string archive;
        std::string verdict;
    };
    const std::vector<Case> cases{
        {"good.zip", "approved\n"},
        {"-ok.zip", "approved\n"},  // not an option
        {"a[1].zip", "rejected\n"}, // not a pattern for the safe a1.zip beside it
    };
    for (const auto& c : cases) {
        const auto result = testing::runProcess(
            {"/bin/sh", "-c", "cd \"$1\" && exec \"$2\" --verify-release-archive app \"$3\"", "sh",
             folder.path().string(), programPath(), c.archive});
        EXPECT_EQ(result.standardOutput, c.verdict) << c.archive;
        EXPECT_EQ(result.exitCode, c.verdict == "approved\n" ? 0 : 64) << c.archive;
    }
}

TEST_F(ReleaseVerifierCommand, ACommandLineWithoutASwitchStartsTheApplication) {
    const std::vector<std::vector<std::string>> lines{
        {"--print-update-installer", "extra"},
        {"--verify-release-archive", "app"},
        {"--verify-extension-manifest", goodManifest.string(), "1.7.0", "extra"},
    };
    if (anotherCopyRuns()) {
        GTEST_SKIP() << "another copy of ZEVRA holds the single-instance lock";
    }
    for (const auto& line : lines) {
        std::vector<std::string> argv{programPath()};
        argv.insert(argv.end(), line.begin(), line.end());
        testing::ProcessOptions options;
        options.unsetEnvironment = {"DISPLAY", "WAYLAND_DISPLAY"};
        options.environment = {"HOME=" + folder.path().string()};
        testing::BackgroundProcess app(argv, options);
        // The application announces that it runs without a display, and keeps running.
        std::string errors;
        for (int attempt = 0; attempt < 1000; ++attempt) {
            errors = app.standardErrorSoFar();
            if (errors.find("runs without a window") != std::string::npos) {
                break;
            }
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_NE(errors.find("runs without a window"), std::string::npos) << line[0];
        EXPECT_EQ(app.wait(0ms), std::nullopt) << line[0];
        app.kill(SIGKILL);
        const auto result = app.wait(10s);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->standardOutput.find("approved"), std::string::npos);
        EXPECT_EQ(result->standardOutput.find("rejected"), std::string::npos);
        EXPECT_EQ(result->standardOutput.find("#!/bin/bash"), std::string::npos);
    }
}

} // namespace
} // namespace zevra
