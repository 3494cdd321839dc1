#include "capsule/canonical_json.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

using Json = nlohmann::json;

// Agreement with the producer's writer over a rich capsule is pinned by the verification test;
// here is what that capsule cannot hold.
TEST(CanonicalJSONTest, WritesIntegerMinusZeroAndRefusesWhatCannotBeWritten) {
    EXPECT_EQ(canonicalJSON(Json::parse("[-0, 1E2]")), "[0,100.0]");
    EXPECT_FALSE(canonicalJSON(Json(std::numeric_limits<double>::infinity())));
    EXPECT_FALSE(canonicalJSON(Json(std::numeric_limits<double>::quiet_NaN())));
    Json deep = Json::array();
    for (int i = 0; i < 600; ++i) {
        deep = Json::array({deep});
    }
    EXPECT_FALSE(canonicalJSON(deep));
}

TEST(CanonicalJSONTest, TextualFormOfEachKind) {
    EXPECT_EQ(textualForm(nullptr), "");
    const Json values = Json::parse(R"(["<x>", 42, 2.5, true, null, {"b": "'", "a": 1}])");
    const std::string_view texts[] = {"<x>", "42", "2.5", "true", "null", R"({"a":1,"b":"'"})"};
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(textualForm(&values[i]), texts[i]);
    }
}

} // namespace
} // namespace zevra
