#include "update/update_installer_script.h"

#include "installer_run_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace zevra {
namespace {

using testing::InstallerRun;

const std::string script(hardenedUpdateInstallerScript);

// Every case here exits before any macOS tool is needed, and before anything is created.
TEST(HardenedUpdateInstallerScript, RefusesBadArgumentsBeforeTouchingAnything) {
    const testing::TemporaryFolder folder;
    const auto path = folder.write("zevra-update.sh", script).string();
    const auto zip = folder.write("ZEVRA-app-1.4.0.zip", "zip").string();
    const std::string app = (folder.path() / "Applications/ZEVRA.app").string();
    const std::vector<std::pair<std::vector<std::string>, int>> cases{
        {{path}, 11},
        {{path, zip, app, "1.4.0", "123", "launch", "extra"}, 11},
        {{path, zip, folder.path().string() + "/Other.app", "1.4.0", "123", "launch"}, 2},
        {{path, zip, app, "1.4.0", "1x", "launch"}, 11},
        {{path, zip, app, "1.4.0", "123", "open"}, 11},
        {{path, folder.path().string(), app, "1.4.0", "123", "no-open"}, 1},
    };
    for (auto [arguments, status] : cases) {
        arguments.insert(arguments.begin(), "/bin/bash");
        EXPECT_EQ(testing::runProcess(arguments).exitCode, status)
            << ::testing::PrintToString(arguments);
    }
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "Applications"));
}

struct InstallCase {
    const char* name;
    std::function<void(const InstallerRun&)> prepare;
    const char* mode;
    int status;
    const char* installed; // the app at the target path afterwards
    bool reopened;         // "open APP" was the last thing the script asked for
    bool failedCopyLeft = false;
};

std::function<void(const InstallerRun&)> newAppWith(const std::string& version,
                                                    const std::string& identifier,
                                                    const std::string& build,
                                                    const std::string& archs) {
    return [=](const InstallerRun& run) {
        InstallerRun::writeApp(run.newApp(), "new", version, identifier, build, archs);
    };
}

std::function<void(const InstallerRun&)> orders(std::vector<std::string> names) {
    return [names = std::move(names)](const InstallerRun& run) {
        for (const auto& name : names) {
            run.order(name);
        }
    };
}

TEST(HardenedUpdateInstallerScript, RunsForRealWithStandInTools) {
    const auto nothing = [](const InstallerRun&) {};
    const std::vector<InstallCase> cases{
        {"installs and relaunches", nothing, "launch", 0, "new", true},
        {"installs without opening", nothing, "no-open", 0, "new", false},
        {"no app in the archive",
         [](const InstallerRun& run) {
             std::filesystem::rename(run.newApp(), run.newApp().parent_path() / "Other.app");
         },
         "launch", 1, "old", true},
        {"short version", newAppWith("1.3.9", "com.kelmor.zevra", "1.4.0", "arm64"), "launch", 3,
         "old", true},
        {"identifier", newAppWith("1.4.0", "com.other", "", "arm64"), "launch", 4, "old", true},
        {"build number", newAppWith("1.4.0", "com.kelmor.zevra", "140", "arm64"), "no-open", 6,
         "old", false},
        {"universal binary", newAppWith("1.4.0", "com.kelmor.zevra", "", "x86_64 arm64"), "launch",
         7, "old", true},
        {"extra top-level item",
         [](const InstallerRun& run) {
             std::ofstream(run.newApp().parent_path() / "notes.txt") << "x";
         },
         "launch", 8, "old", true},
        // More names than the pipe holds: the first test must not die of the closed pipe.
        {"extra items beyond a pipe's worth",
         [](const InstallerRun& run) {
             for (int i = 0; i < 300; ++i) {
                 std::ofstream(run.newApp().parent_path() /
                               (std::to_string(i) + std::string(240, 'n')));
             }
         },
         "launch", 8, "old", true},
        {"symbolic link",
         [](const InstallerRun& run) {
             std::filesystem::create_symlink("Info.plist", run.newApp() / "Contents/link");
         },
         "launch", 9, "old", true},
        {"special file", orders({"ditto-adds-fifo"}), "launch", 10, "old", true},
        {"signature check fails",
         [](const InstallerRun& run) { std::ofstream(run.newApp() / "Contents/unsigned"); },
         "launch", 1, "old", true},
        {"staged copy fails its signature check", orders({"staged-unsigned"}), "launch", 1, "old",
         true},
        {"start fails, rolled back", orders({"open-fails"}), "launch", 5, "old", true},
        {"rollback when removing the failed copy fails", orders({"open-fails", "rm-fails"}),
         "launch", 5, "old", true, true},
        {"signal between the two moves", orders({"mv-signal"}), "launch", 143, "old", false},
    };
    for (const auto& c : cases) {
        const InstallerRun run;
        c.prepare(run);
        const auto result = run.run(c.mode);
        EXPECT_EQ(result.exitCode, c.status) << c.name << ": " << result.standardError;
        EXPECT_EQ(run.installed(), c.installed) << c.name;
        const auto log = run.openLog();
        EXPECT_EQ(log.ends_with(run.app().string() + "\n"), c.reopened) << c.name << ": " << log;
        // Neither the staged copy nor the unpacked archive outlives the script.
        const auto left = run.leftovers();
        const bool failedCopyLeft = left.size() == 1 && left[0].starts_with(".ZEVRA.failed.");
        EXPECT_TRUE(left.empty() || (c.failedCopyLeft && failedCopyLeft))
            << c.name << ": " << ::testing::PrintToString(left);
    }
}

// A name already taken is someone else's: refused, and left in place.
TEST(HardenedUpdateInstallerScript, LeavesATakenStagingNameAlone) {
    const InstallerRun run;
    const auto taken =
        run.app().parent_path() / ".ZEVRA.update.0F1E2D3C-AAAA-BBBB-CCCC-000000000001";
    std::filesystem::create_directories(taken);
    EXPECT_EQ(run.run("launch").exitCode, 12);
    EXPECT_TRUE(std::filesystem::exists(taken));
    EXPECT_EQ(run.installed(), "old");
    EXPECT_EQ(run.openLog(), run.app().string() + "\n");
}

} // namespace
} // namespace zevra
