#pragma once

#include "support/child_process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zevra::testing {

struct ZipFixtureEntry {
    std::string name;
    std::string data;
    std::optional<unsigned> mode = 0100644; // absent: no file-type bits
};

inline std::vector<ZipFixtureEntry> appShapedEntries() {
    return {{"ZEVRA.app/", "", 040755},
            {"ZEVRA.app/Contents/", "", 040755},
            {"ZEVRA.app/Contents/Info.plist", "<?xml version=\"1.0\"?><plist version=\"1.0\"/>\n"}};
}

// Writes the archive with Python's zipfile; `streamed` gives every entry a data descriptor.
inline void writeZipFixture(const std::filesystem::path& path,
                            const std::vector<ZipFixtureEntry>& entries = appShapedEntries(),
                            bool streamed = false) {
    nlohmann::json layout{{"path", path.string()}, {"streamed", streamed}};
    for (const auto& e : entries) {
        const auto mode = e.mode ? nlohmann::json(*e.mode) : nullptr;
        layout["entries"].push_back({{"name", e.name}, {"data", e.data}, {"mode", mode}});
    }
    ProcessOptions options;
    options.standardInput = layout.dump();
    const auto result =
        runProcess({"/usr/bin/python3", ZEVRA_SOURCE_DIR "/tests/update/make_zip.py"}, options);
    ASSERT_EQ(result.exitCode, 0) << result.standardError;
}

} // namespace zevra::testing
