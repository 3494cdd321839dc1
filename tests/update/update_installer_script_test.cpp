#include "update/update_installer_script.h"

#include "support/child_process.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

using testing::TemporaryFolder;

TEST(HardenedUpdateInstallerScript, IsTheFixedBashScript) {
    EXPECT_EQ(hardenedUpdateInstallerScript.substr(0, 12), "#!/bin/bash\n");
    EXPECT_NE(hardenedUpdateInstallerScript.find("set -euo pipefail\n"), std::string_view::npos);
    for (const char* tool :
         {"/usr/bin/mktemp -d", "/bin/rm -rf", "/usr/bin/ditto -x -k", "/usr/bin/open -R",
          "/usr/bin/find", "/usr/bin/head -1", "/usr/libexec/PlistBuddy -c", "/usr/bin/lipo -archs",
          "/usr/bin/codesign --verify --deep --strict", "/usr/bin/uuidgen", "/bin/kill -0",
          "/bin/mv", "com.kelmor.zevra", ".ZEVRA.previous", ".ZEVRA.update."}) {
        EXPECT_NE(hardenedUpdateInstallerScript.find(tool), std::string_view::npos) << tool;
    }
    const auto syntax =
        testing::runProcess({"/bin/bash", "-n", "-c", std::string(hardenedUpdateInstallerScript)});
    EXPECT_EQ(syntax.exitCode, 0) << syntax.standardError;
}

// Runs the script with `arguments`; every case here exits before any macOS tool is needed.
int scriptStatus(const TemporaryFolder& folder, const std::vector<std::string>& arguments) {
    const auto script = folder.write("zevra-update.sh", std::string(hardenedUpdateInstallerScript));
    std::vector<std::string> argv{"/bin/bash", script.string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return testing::runProcess(argv).exitCode;
}

TEST(HardenedUpdateInstallerScript, RefusesBadArgumentsBeforeTouchingAnything) {
    const TemporaryFolder folder;
    const auto zip = folder.write("ZEVRA-app-1.4.0.zip", "zip").string();
    const std::string app = (folder.path() / "Applications/ZEVRA.app").string();
    const std::string missing = (folder.path() / "missing.zip").string();
    const std::vector<std::pair<std::vector<std::string>, int>> cases{
        {{}, 11},
        {{zip, app, "1.4.0", "123", "launch", "extra"}, 11},
        {{zip, folder.path().string() + "/Other.app", "1.4.0", "123", "launch"}, 2},
        {{zip, app + "/", "1.4.0", "123", "launch"}, 2},
        {{zip, app, "1.4.0", "1x", "launch"}, 11},
        {{zip, app, "1.4.0", "", "launch"}, 11},
        {{zip, app, "1.4.0", "123", "open"}, 11},
        {{missing, app, "1.4.0", "123", "launch"}, 1},
        {{folder.path().string(), app, "1.4.0", "123", "no-open"}, 1},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(scriptStatus(folder, cases[i].first), cases[i].second) << "case " << i;
    }
    // Nothing was created beside the target.
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "Applications"));
}

} // namespace
} // namespace zevra
