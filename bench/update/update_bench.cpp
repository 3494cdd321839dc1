// Usage: zevra_update_bench [scratch folder]   (default /tmp)
// Goals: sha256File at most 1.1 times the time of sha256sum on the same 512 MiB file, and
// archiveEntriesAreSafe under 100 ms on an archive of 512 entries.
#include "update/archive_entries.h"
#include "update/release_limits.h"
#include "update/sha256_file.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void writeLargeFile(const std::filesystem::path& path, std::size_t bytes) {
    std::ofstream out(path, std::ios::binary);
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<char>(i * 2654435761u >> 13);
    }
    for (std::size_t written = 0; written < bytes; written += block.size()) {
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
}

bool run(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

bool writeArchive(const std::filesystem::path& path, int entries) {
    std::string layout = "{\"path\": \"" + path.string() + "\", \"entries\": [";
    for (int i = 0; i < entries; ++i) {
        layout += std::string(i ? "," : "") + "{\"name\": \"ZEVRA.app/Contents/Resources/file" +
                  std::to_string(i) + ".txt\", \"data\": \"payload\", \"mode\": 33188, " +
                  "\"method\": \"deflated\"}";
    }
    layout += "]}";
    const auto layoutPath = path.string() + ".json";
    std::ofstream(layoutPath) << layout;
    return run("/usr/bin/python3 " ZEVRA_SOURCE_DIR "/tests/update/make_zip.py < '" + layoutPath +
               "'");
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path scratch = argc > 1 ? argv[1] : "/tmp";
    const auto large = scratch / "zevra-bench-512MiB.bin";
    writeLargeFile(large, std::size_t{512} << 20);

    (void)zevra::sha256File(large); // warm the page cache for both contestants
    std::vector<double> ours;
    std::vector<double> baseline;
    for (int round = 0; round < 5; ++round) {
        auto start = Clock::now();
        const auto digest = zevra::sha256File(large);
        ours.push_back(millisecondsSince(start));
        start = Clock::now();
        if (!digest || !run("/usr/bin/sha256sum '" + large.string() + "' > /dev/null")) {
            std::fprintf(stderr, "hashing failed\n");
            return 1;
        }
        baseline.push_back(millisecondsSince(start));
    }
    std::filesystem::remove(large);
    const double ratio = median(ours) / median(baseline);
    std::printf("sha256File 512 MiB: %.1f ms (median of 5); sha256sum: %.1f ms; ratio %.3f "
                "(goal <= 1.1)\n",
                median(ours), median(baseline), ratio);

    const auto archive = scratch / "zevra-bench-512-entries.zip";
    if (!writeArchive(archive, 512)) {
        std::fprintf(stderr, "could not write the archive\n");
        return 1;
    }
    std::vector<double> checks;
    for (int round = 0; round < 11; ++round) {
        const auto start = Clock::now();
        const bool safe =
            zevra::archiveEntriesAreSafe(archive, zevra::appMaxArchiveEntries,
                                         zevra::appMaxUncompressedBytes, zevra::appMaxMemberBytes);
        checks.push_back(millisecondsSince(start));
        if (!safe) {
            std::fprintf(stderr, "the benchmark archive was refused\n");
            return 1;
        }
    }
    std::filesystem::remove(archive);
    std::filesystem::remove(archive.string() + ".json");
    std::printf("archiveEntriesAreSafe 512 entries: %.2f ms (median of 11; goal < 100 ms)\n",
                median(checks));
    return ratio <= 1.1 && median(checks) < 100 ? 0 : 2;
}
