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
using Links = ReadOnlyFile::Links;

TEST(ReadOnlyFile, OpensRegularFilesOnly) {
    const testing::TemporaryFolder folder;
    const auto regular = folder.write("a.zip", "12345");
    const auto link = folder.path() / "link.zip";
    const auto pipe = folder.path() / "pipe.zip";
    std::filesystem::create_symlink(regular, link);
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // The size the file opens with; -1 when it does not open.
    const std::vector<std::tuple<std::filesystem::path, Links, std::int64_t>> cases{
        {regular, Links::refuse, 5},      {link, Links::follow, 5},
        {link, Links::refuse, -1},        {folder.path(), Links::follow, -1},
        {"/dev/zero", Links::follow, -1}, {pipe, Links::follow, -1},
    };
    for (const auto& [path, links, size] : cases) {
        // A pipe with no writer is refused, not waited on; if the open blocks, a writer frees it.
        auto opening = std::async(std::launch::async, [&] {
            const auto file = ReadOnlyFile::open(path, links);
            return file ? file->size() : -1;
        });
        if (opening.wait_for(10s) != std::future_status::ready) {
            ADD_FAILURE() << path << " blocked";
            const UniqueFd writer(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        }
        EXPECT_EQ(opening.get(), size) << path;
    }
}

} // namespace
} // namespace zevra
