#include "update/version.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

TEST(Version, ReleaseVersionPattern) {
    for (const char* good : {"999999.0.12", "0.0.0", "10.20.30"}) {
        EXPECT_TRUE(isReleaseVersion(good)) << good;
    }
    for (const char* bad : {"01.2.3", "1.2", "1.2.3.4", "1234567.0.0", "", "1..2", "1.2.3.",
                            ".1.2.3", "1.2.x", "+1.2.3", "1.2.3 ", "1.02.3"}) {
        EXPECT_FALSE(isReleaseVersion(bad)) << bad;
    }
}

TEST(Version, VersionIsNewer) {
    // Candidate, current, whether the candidate is newer.
    const std::tuple<const char*, const char*, bool> cases[]{
        {"2.0.0", "10.0.0", false}, {"1.0.1", "1.0", true},  {"1.0.0", "1.0.0", false},
        {"1.2", "1.2.0", false},    {"1.2.0", "1.2", false}, {"1.10.0", "1.9.9", true},
        {"1..3", "1.2", true},      {"1.x", "1.0", false},   {"1.1", "1.x", true},
        {"", "0", false},           {"0.0.1", "", true},     {"99999999999999999999", "1", false},
        {"1.-1", "1.0", false},     {"1.+2", "1.1", true},
    };
    for (const auto& [candidate, current, newer] : cases) {
        EXPECT_EQ(versionIsNewer(candidate, current), newer) << candidate << " vs " << current;
    }
}

} // namespace
} // namespace zevra
