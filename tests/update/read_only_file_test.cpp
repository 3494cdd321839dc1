#include "base/read_only_file.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <future>

namespace zevra {
namespace {

using namespace std::chrono_literals;
using testing::TemporaryFolder;
using Links = ReadOnlyFile::Links;

// The size the file opens with; -1 when it does not open.
std::int64_t openedSize(const std::filesystem::path& path, Links links) {
    const auto file = ReadOnlyFile::open(path, links);
    return file ? file->size() : -1;
}

TEST(ReadOnlyFile, OpensRegularFilesOnly) {
    const TemporaryFolder folder;
    const auto regular = folder.write("a.zip", "12345");
    std::filesystem::create_symlink(regular, folder.path() / "link.zip");
    ASSERT_EQ(mkfifo((folder.path() / "pipe.zip").c_str(), 0600), 0);
    struct Case {
        std::filesystem::path path;
        Links links;
        std::int64_t size;
    };
    const std::vector<Case> cases{
        {regular, Links::refuse, 5},
        {folder.path() / "link.zip", Links::follow, 5},
        {folder.path() / "link.zip", Links::refuse, -1},
        {folder.path(), Links::follow, -1},
        {folder.path() / "missing.zip", Links::follow, -1},
        {"/dev/zero", Links::follow, -1},
        {folder.path() / "pipe.zip", Links::follow, -1},
    };
    for (const auto& c : cases) {
        // A pipe with no writer must be refused, not waited on; should the open block, a
        // writer coming and going releases it so the case fails instead of hanging.
        auto opening = std::async(std::launch::async, [&] { return openedSize(c.path, c.links); });
        if (opening.wait_for(10s) != std::future_status::ready) {
            ADD_FAILURE() << c.path << " blocked";
            const UniqueFd writer(::open(c.path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        }
        EXPECT_EQ(opening.get(), c.size) << c.path;
    }
}

} // namespace
} // namespace zevra
