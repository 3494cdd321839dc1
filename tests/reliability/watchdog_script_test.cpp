// The watchdog script itself, watching a stand-in process and relaunching a stand-in app.
#include "support/child_process.h"
#include "support/temporary_folder.h"

#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace zevra {
namespace {

using namespace std::chrono_literals;
using testing::BackgroundProcess;
using testing::readFile;
using testing::TemporaryFolder;

TEST(WatchdogScript, RelaunchesOnceInPlaceAfterAnUncleanEndAndNeverAfterACleanOne) {
    for (const bool cleanExit : {false, true}) {
        SCOPED_TRACE(cleanExit ? "clean exit" : "unclean exit");
        const TemporaryFolder folder;
        const auto relaunches = folder.path() / "relaunches";
        const auto app = folder.write("ZEVRA.app/Contents/MacOS/ZEVRA",
                                      "#!/bin/sh\necho $$ >>'" + relaunches.string() + "'\n");
        ::chmod(app.c_str(), 0755);
        const auto marker = folder.write("watchdog-1.pending", "pending\n");

        BackgroundProcess watched({"/bin/sleep", "60"});
        BackgroundProcess watchdog({"/bin/sh", ZEVRA_SOURCE_DIR "/resources/zevra-watchdog.sh",
                                    (folder.path() / "ZEVRA.app").string(),
                                    std::to_string(watched.pid()), marker.string()});
        if (cleanExit) {
            std::filesystem::remove(marker);
        }
        // Left unreaped: a process that has ended but whose parent has not looked yet.
        watched.kill(SIGKILL);

        const auto result = watchdog.wait(10s);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->exitCode, 0) << result->standardError;
        const auto relaunched = std::filesystem::exists(relaunches) ? readFile(relaunches) : "";
        EXPECT_EQ(relaunched, cleanExit ? "" : std::to_string(watchdog.pid()) + "\n");
    }
}

} // namespace
} // namespace zevra
