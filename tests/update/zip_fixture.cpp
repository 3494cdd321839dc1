#include "update/zip_fixture.h"

#include "support/child_process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace zevra::testing {

void writeZipFixture(const std::filesystem::path& path, const std::vector<ZipFixtureEntry>& entries,
                     bool streamed) {
    nlohmann::json layout{
        {"path", path.string()}, {"streamed", streamed}, {"entries", nlohmann::json::array()}};
    for (const auto& e : entries) {
        layout["entries"].push_back({{"name", e.name},
                                     {"data", e.data},
                                     {"method", e.method},
                                     {"mode", e.mode ? nlohmann::json(*e.mode) : nullptr}});
    }
    ProcessOptions options;
    options.standardInput = layout.dump();
    const auto result = runProcess(
        {"/usr/bin/python3", std::string(ZEVRA_SOURCE_DIR) + "/tests/update/make_zip.py"}, options);
    ASSERT_EQ(result.exitCode, 0) << result.standardError;
}

std::vector<ZipFixtureEntry> appShapedEntries() {
    return {{"ZEVRA.app/", "", 040755},
            {"ZEVRA.app/Contents/", "", 040755},
            {"ZEVRA.app/Contents/Info.plist", "<?xml version=\"1.0\"?><plist version=\"1.0\"/>\n"}};
}

} // namespace zevra::testing
