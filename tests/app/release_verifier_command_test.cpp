#include "app/release_verifier_command.h"

#include "update/manifest_fixtures.h"
#include "update/zip_fixture.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

// A switch prints its verdict and exits, before anything starts, printing nothing else; a
// command line that is no switch starts the application. Names are plain paths from the current
// folder: a leading "-" is no option.
TEST(ReleaseVerifierCommand, VerdictsOfTheSwitches) {
    const testing::TemporaryFolder folder;
    const auto archive = folder.path() / "-ok.zip";
    testing::writeZipFixture(archive);
    folder.write("manifest.json", testing::approvedExtensionManifest("1.7.0").dump(2));
    const auto sized = [&](std::size_t size) {
        auto text = testing::approvedExtensionManifest("1.7.0").dump();
        return folder.write(std::to_string(size), text.append(size - text.size(), ' ')).string();
    };
    const std::string verify = "--verify-extension-manifest";
    const std::vector<std::pair<std::vector<std::string>, std::optional<bool>>> cases{
        {{"--verify-release-archive", "app", archive}, true},
        {{"--verify-release-archive", "extension", archive}, true},
        {{"--verify-release-archive", "App", archive}, false},
        {{verify, sized(65536), "1.7.0"}, true},
        {{verify, sized(65537), "1.7.0"}, false},
        {{verify, folder.write("broken.json", "{\"a\":").string(), "1.7.0"}, false},
        {{verify, folder.path() / "missing.json", "1.7.0"}, false},
        {{verify, folder.path(), "1.7.0"}, false},
        {{verify, "/dev/zero", "1.7.0"}, false},
        {{"--print-update-installer", "extra"}, std::nullopt},
        {{"--print-update-installer "}, std::nullopt},
        {{"--Verify-release-archive", "app", archive}, std::nullopt},
    };
    for (auto [arguments, approved] : cases) {
        arguments.insert(arguments.begin(), "/Applications/ZEVRA.app/Contents/MacOS/ZEVRA");
        const auto result = releaseVerifierOutcome(arguments);
        ASSERT_EQ(result.has_value(), approved.has_value()) << ::testing::PrintToString(arguments);
        if (approved) {
            EXPECT_EQ(result->standardOutput, *approved ? "approved\n" : "rejected\n")
                << arguments[2];
            EXPECT_EQ(result->exitCode, *approved ? 0 : 64) << arguments[2];
        }
    }
    EXPECT_EQ(releaseVerifierOutcome({}), std::nullopt);

    testing::ProcessOptions options;
    options.unsetEnvironment = {"DISPLAY", "WAYLAND_DISPLAY"};
    options.environment = {"HOME=" + folder.path().string()};
    const std::vector<std::tuple<std::vector<std::string>, std::string, int>> processes{
        {{"--print-update-installer"}, "#!/bin/bash\n", 0},
        {{"--verify-release-archive", "app", "-ok.zip"}, "approved\n", 0},
        {{"--verify-extension-manifest", "manifest.json", "1.7.1"}, "rejected\n", 64},
    };
    for (const auto& [arguments, output, exitCode] : processes) {
        std::vector<std::string> argv{"/bin/sh", "-c", "cd \"$0\" && exec \"$@\"",
                                      folder.path().string(),
                                      std::string(ZEVRA_BUNDLE_DIR) + "/Contents/MacOS/ZEVRA"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const auto result = testing::runProcess(argv, options);
        EXPECT_TRUE(result.standardOutput.starts_with(output)) << arguments.back();
        EXPECT_EQ(result.exitCode, exitCode) << arguments.back();
        EXPECT_EQ(result.standardError, "") << arguments.back();
    }
}

} // namespace
} // namespace zevra
