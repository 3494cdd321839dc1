#include "update/approved_extension_files.h"
#include "update/safe_regular_file_paths.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zevra {
namespace {

TEST(SafeRegularFilePaths, ListsRegularFilesAndRefusesLinksAndSpecialFiles) {
    const testing::TemporaryFolder folder;
    folder.write("root/manifest.json", "{}");
    folder.write("root/icons/icon16.png", "png");
    folder.write("root/.hidden", "h");
    std::filesystem::create_directories(folder.path() / "root/empty/deeper");
    const std::set<std::string> files{".hidden", "icons/icon16.png", "manifest.json"};
    EXPECT_EQ(safeRegularFilePaths(folder.path() / "root"), files);
    EXPECT_EQ(safeRegularFilePaths(folder.path() / "root/"), files);

    std::filesystem::create_symlink("/etc/passwd", folder.path() / "root/passwd");
    EXPECT_EQ(safeRegularFilePaths(folder.path() / "root"), std::nullopt);
    folder.write("dirlink/a.js", "a");
    std::filesystem::create_directory_symlink("/etc", folder.path() / "dirlink/etc");
    folder.write("fifo/a.js", "a");
    ASSERT_EQ(mkfifo((folder.path() / "fifo/pipe").c_str(), 0600), 0);
    for (const char* name : {"dirlink", "fifo", "missing"}) {
        EXPECT_EQ(safeRegularFilePaths(folder.path() / name), std::nullopt) << name;
    }
}

TEST(ExtensionFolderHoldsOnlyApprovedFiles, WantsASubsetOfTheApprovedFiles) {
    const testing::TemporaryFolder folder;
    for (const auto& name : approvedExtensionFiles()) {
        folder.write("full/" + name, name);
    }
    EXPECT_EQ(approvedExtensionFiles().size(), 14u);
    EXPECT_TRUE(extensionFolderHoldsOnlyApprovedFiles(folder.path() / "full"));
    folder.write("partial/manifest.json", "{}");
    EXPECT_TRUE(extensionFolderHoldsOnlyApprovedFiles(folder.path() / "partial"));
    folder.write("partial/notes.txt", "extra");
    EXPECT_FALSE(extensionFolderHoldsOnlyApprovedFiles(folder.path() / "partial"));
}

} // namespace
} // namespace zevra
