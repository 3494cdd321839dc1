#include "installer_run_fixture.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace zevra {
namespace {

// The old process (this test) never ends: after its 20 seconds the script gives up, shows the
// archive, opens nothing else and leaves no staged copy behind.
TEST(HardenedUpdateInstallerScript, GivesUpOnAnOldProcessThatNeverEnds) {
    const testing::InstallerRun run;
    const auto result = run.run("launch", std::to_string(::getpid()));
    EXPECT_EQ(result.exitCode, 13) << result.standardError;
    EXPECT_EQ(run.installed(), "old");
    EXPECT_EQ(run.openLog(), "-R " + run.zip().string() + "\n");
    EXPECT_TRUE(run.leftovers().empty()) << ::testing::PrintToString(run.leftovers());
}

} // namespace
} // namespace zevra
