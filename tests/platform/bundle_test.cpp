#include "platform/bundle.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

TEST(Bundle, ReadsStringEntriesOfTheInfoPlistBesideTheExecutableFolder) {
    const std::filesystem::path exe = "/opt/ZEVRA.app/Contents/MacOS/ZEVRA";
    EXPECT_EQ(resourcesPathForExecutable(exe), "/opt/ZEVRA.app/Contents/Resources");
    EXPECT_EQ(infoPlistPathForExecutable(exe), "/opt/ZEVRA.app/Contents/Info.plist");
    const testing::TemporaryFolder folder;
    const auto plist =
        folder.write("Info.plist", "<plist><dict><key>A</key><string>2.4.1</string>"
                                   "<key>B</key><integer>12</integer></dict></plist>");
    EXPECT_EQ(infoPlistString(plist, "A"), "2.4.1");
    EXPECT_EQ(infoPlistString(plist, "B"), std::nullopt);
    EXPECT_EQ(infoPlistString(folder.path() / "missing.plist", "A"), std::nullopt);
    const auto broken = folder.write("Broken.plist", "<plist><dict><key>A");
    EXPECT_EQ(infoPlistString(broken, "A"), std::nullopt);
    // The built bundle's, with its XML declaration and document type.
    const std::filesystem::path built = ZEVRA_BUNDLE_DIR "/Contents/Info.plist";
    EXPECT_EQ(infoPlistString(built, "CFBundleIdentifier"), "com.kelmor.zevra");
    EXPECT_EQ(infoPlistString(built, "CFBundleShortVersionString"), ZEVRA_PROJECT_VERSION);
    EXPECT_EQ(infoPlistString(built, "CFBundleExecutable"), "ZEVRA");
}

} // namespace
} // namespace zevra
