#include "update/approved_extension_files.h"
#include "update/safe_regular_file_paths.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace zevra {
namespace {

using testing::TemporaryFolder;

TEST(SafeRegularFilePaths, ListsRegularFilesRelativeToTheRoot) {
    const TemporaryFolder folder;
    folder.write("root/manifest.json", "{}");
    folder.write("root/icons/icon16.png", "png");
    folder.write("root/.hidden", "h");
    std::filesystem::create_directories(folder.path() / "root/empty/deeper");
    const auto files = safeRegularFilePaths(folder.path() / "root");
    ASSERT_TRUE(files);
    EXPECT_EQ(*files, (std::set<std::string>{".hidden", "icons/icon16.png", "manifest.json"}));
    EXPECT_EQ(safeRegularFilePaths(folder.path() / "root/"), files);
}

TEST(SafeRegularFilePaths, RefusesLinksSpecialFilesAndMissingFolders) {
    const TemporaryFolder folder;
    folder.write("linked/a.js", "a");
    std::filesystem::create_symlink("/etc/passwd", folder.path() / "linked/passwd");
    EXPECT_EQ(safeRegularFilePaths(folder.path() / "linked"), std::nullopt);

    folder.write("dirlink/a.js", "a");
    std::filesystem::create_directory_symlink("/etc", folder.path() / "dirlink/etc");
    EXPECT_EQ(safeRegularFilePaths(folder.path() / "dirlink"), std::nullopt);

    folder.write("fifo/a.js", "a");
    ASSERT_EQ(mkfifo((folder.path() / "fifo/pipe").c_str(), 0600), 0);
    EXPECT_EQ(safeRegularFilePaths(folder.path() / "fifo"), std::nullopt);

    EXPECT_EQ(safeRegularFilePaths(folder.path() / "missing"), std::nullopt);
}

TEST(ExtensionFolderHoldsOnlyApprovedFiles, WantsASubsetOfTheApprovedFiles) {
    const TemporaryFolder folder;
    for (const auto& name : approvedExtensionFiles()) {
        folder.write("full/" + name, name);
    }
    EXPECT_EQ(approvedExtensionFiles().size(), 14u);
    EXPECT_TRUE(extensionFolderHoldsOnlyApprovedFiles(folder.path() / "full"));

    folder.write("partial/manifest.json", "{}");
    EXPECT_TRUE(extensionFolderHoldsOnlyApprovedFiles(folder.path() / "partial"));

    folder.write("partial/notes.txt", "extra");
    EXPECT_FALSE(extensionFolderHoldsOnlyApprovedFiles(folder.path() / "partial"));

    folder.write("linked/manifest.json", "{}");
    std::filesystem::create_symlink(folder.path() / "linked/manifest.json",
                                    folder.path() / "linked/popup.js");
    EXPECT_FALSE(extensionFolderHoldsOnlyApprovedFiles(folder.path() / "linked"));
}

} // namespace
} // namespace zevra
