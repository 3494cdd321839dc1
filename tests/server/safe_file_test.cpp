#include "server/safe_file.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace zevra {
namespace {

namespace fs = std::filesystem;

TEST(SafeFile, ResolvesInsideTheRootAndRefusesEverythingThatLeavesIt) {
    const testing::TemporaryFolder folder;
    const fs::path root = folder.path() / "root";
    folder.write("root/index.html", "shell");
    folder.write("root/css/site.css", "css");
    folder.write("outside/secret.txt", "secret");
    fs::create_symlink(folder.path() / "outside", root / "escape");
    fs::create_symlink(folder.path() / "outside/secret.txt", root / "secret-link");
    fs::create_symlink("css/site.css", root / "inner-link");
    // A root reached through a symbolic link works like the real folder.
    fs::create_symlink(root, folder.path() / "root-link");
    const fs::path realRoot = fs::canonical(root);

    const std::pair<std::string, std::string> inside[] = {
        {"css/../index.html", "index.html"},
        {"./css//site.css", "css/site.css"},
        {"inner-link", "css/site.css"},
        // A leading slash is a component under the root, not the file system's root.
        {"/index.html", "index.html"},
        {"new/missing.txt", "new/missing.txt"},
    };
    for (const auto& [relative, expected] : inside) {
        EXPECT_EQ(safeFile(root, relative), realRoot / expected) << relative;
    }
    EXPECT_EQ(safeFile(folder.path() / "root-link", "index.html"), realRoot / "index.html");

    const std::string refused[] = {
        "",
        "css/..",
        "..",
        "css/../../outside/secret.txt",
        "escape/secret.txt",
        "secret-link",
        "/../outside/secret.txt",
        "../root",
        "../rootx/file",
        std::string("index.html\0.txt", 15),
    };
    for (const auto& relative : refused) {
        EXPECT_EQ(safeFile(root, relative), std::nullopt) << relative;
    }
}

} // namespace
} // namespace zevra
