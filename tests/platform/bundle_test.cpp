#include "platform/bundle.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

using testing::TemporaryFolder;

TEST(Bundle, ResourcesAndInfoPlistSitBesideTheExecutableFolder) {
    const std::filesystem::path exe = "/opt/ZEVRA.app/Contents/MacOS/ZEVRA";
    EXPECT_EQ(resourcesPathForExecutable(exe), "/opt/ZEVRA.app/Contents/Resources");
    EXPECT_EQ(infoPlistPathForExecutable(exe), "/opt/ZEVRA.app/Contents/Info.plist");
}

TEST(Bundle, ReadsStringEntriesOnly) {
    const TemporaryFolder folder;
    const auto plist = folder.write("Info.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>
  <key>CFBundleShortVersionString</key><string>2.4.1</string>
  <key>CFBundleVersion</key><string>241</string>
  <key>LSMinimumSystemVersion</key><integer>12</integer>
</dict></plist>
)");
    EXPECT_EQ(infoPlistString(plist, "CFBundleShortVersionString"), "2.4.1");
    EXPECT_EQ(infoPlistString(plist, "CFBundleVersion"), "241");
    EXPECT_EQ(infoPlistString(plist, "LSMinimumSystemVersion"), std::nullopt);
    EXPECT_EQ(infoPlistString(plist, "CFBundleIdentifier"), std::nullopt);
    EXPECT_EQ(infoPlistString(folder.path() / "missing.plist", "CFBundleVersion"), std::nullopt);
    const auto broken = folder.write("Broken.plist", "<plist><dict><key>CFBundleVersion");
    EXPECT_EQ(infoPlistString(broken, "CFBundleVersion"), std::nullopt);
}

TEST(Bundle, TheBuiltBundleCarriesTheProjectIdentity) {
    const std::filesystem::path plist = ZEVRA_BUNDLE_DIR "/Contents/Info.plist";
    ASSERT_TRUE(std::filesystem::exists(plist)) << plist;
    EXPECT_EQ(infoPlistString(plist, "CFBundleIdentifier"), "com.kelmor.zevra");
    EXPECT_EQ(infoPlistString(plist, "CFBundleShortVersionString"), ZEVRA_PROJECT_VERSION);
    EXPECT_EQ(infoPlistString(plist, "CFBundleVersion"), ZEVRA_PROJECT_VERSION);
    EXPECT_EQ(infoPlistString(plist, "CFBundleExecutable"), "ZEVRA");
}

} // namespace
} // namespace zevra
