#include "update/update_installer_script.h"

#include "support/child_process.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

const std::string script(hardenedUpdateInstallerScript);

TEST(HardenedUpdateInstallerScript, IsTheFixedBashScript) {
    for (const char* tool :
         {"set -euo pipefail\n", "/usr/bin/mktemp -d", "/bin/rm -rf", "/usr/bin/ditto -x -k",
          "/usr/bin/open -R", "/usr/bin/find", "/usr/bin/head -1", "/usr/libexec/PlistBuddy -c",
          "/usr/bin/lipo -archs", "/usr/bin/codesign --verify --deep --strict", "/usr/bin/uuidgen",
          "/bin/kill -0", "/bin/mv", "com.kelmor.zevra", ".ZEVRA.previous", ".ZEVRA.update."}) {
        EXPECT_NE(script.find(tool), std::string::npos) << tool;
    }
    const auto syntax = testing::runProcess({"/bin/bash", "-n", "-c", script});
    EXPECT_EQ(syntax.exitCode, 0) << syntax.standardError;
}

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

} // namespace
} // namespace zevra
