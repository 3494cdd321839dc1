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
    for (const char* name : {"linked", "dirlink", "fifo"}) {
        folder.write(std::string(name) + "/a.js", "a");
    }
    std::filesystem::create_symlink("/etc/passwd", folder.path() / "linked/passwd");
    std::filesystem::create_directory_symlink("/etc", folder.path() / "dirlink/etc");
    ASSERT_EQ(mkfifo((folder.path() / "fifo/pipe").c_str(), 0600), 0);
    for (const char* name : {"linked", "dirlink", "fifo", "missing"}) {
        EXPECT_EQ(safeRegularFilePaths(folder.path() / name), std::nullopt) << name;
    }
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
}

} // namespace
} // namespace zevra
