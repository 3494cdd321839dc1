#include "update/zip_fixture.h"

#include "support/child_process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace zevra::testing {

ZipFixtureEntry zipDirectory(const std::string& name) {
    ZipFixtureEntry entry;
    entry.name = name;
    entry.mode = directoryMode;
    return entry;
}

ZipFixtureEntry zipSymbolicLink(const std::string& name, const std::string& target) {
    ZipFixtureEntry entry;
    entry.name = name;
    entry.data = target;
    entry.mode = symbolicLinkMode;
    return entry;
}

void writeZipFixture(const std::filesystem::path& path, const std::vector<ZipFixtureEntry>& entries,
                     bool streamed) {
    nlohmann::json layout{{"path", path.string()}, {"streamed", streamed}};
    layout["entries"] = nlohmann::json::array();
    for (const auto& entry : entries) {
        layout["entries"].push_back({{"name", entry.name},
                                     {"data", entry.data},
                                     {"method", entry.method},
                                     {"extra", entry.extraHex},
                                     {"mode", entry.mode ? nlohmann::json(*entry.mode) : nullptr}});
    }
    ProcessOptions options;
    options.standardInput = layout.dump();
    const auto result = runProcess(
        {"/usr/bin/python3", std::string(ZEVRA_SOURCE_DIR) + "/tests/update/make_zip.py"}, options);
    ASSERT_EQ(result.exitCode, 0) << result.standardError;
}

std::vector<ZipFixtureEntry> appShapedEntries(const std::string& method) {
    ZipFixtureEntry plist;
    plist.name = "ZEVRA.app/Contents/Info.plist";
    plist.data = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict></dict></plist>\n";
    plist.method = method;
    return {zipDirectory("ZEVRA.app/"), zipDirectory("ZEVRA.app/Contents/"), plist};
}

} // namespace zevra::testing
