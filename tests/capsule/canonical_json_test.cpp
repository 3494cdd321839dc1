#include "capsule/canonical_json.h"

#include <gtest/gtest.h>

#include "capsule_producer.h"
#include "support/child_process.h"

namespace zevra {
namespace {

// What the capsule producer's writer makes of a JSON text.
std::string pythonCanonical(const std::string& jsonText) {
    testing::ProcessOptions options;
    options.standardInput = jsonText;
    const testing::ProcessResult result = testing::runProcess(
        {"/usr/bin/python3", "-c",
         "import json,sys\n"
         "v=json.loads(sys.stdin.buffer.read().decode('utf-8'))\n"
         "sys.stdout.buffer.write(json.dumps(v,sort_keys=True,separators=(',',':'),"
         "ensure_ascii=False).encode('utf-8'))"},
        options);
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    return result.standardOutput;
}

TEST(CanonicalJSONTest, AgreesWithTheCapsuleProducer) {
    const std::string text = testing::richRecipe().dump(1);
    const std::optional<std::string> ours = canonicalJSON(nlohmann::json::parse(text));
    ASSERT_TRUE(ours);
    EXPECT_EQ(*ours, pythonCanonical(text));
}

TEST(CanonicalJSONTest, WritesNumbersAsTheProducerDoes) {
    const std::pair<std::string, std::string> cases[] = {
        {"[1.0]", "[1.0]"},
        {"[1E2]", "[100.0]"},
        {"[-0.0]", "[-0.0]"},
        {"[-0]", "[0]"},
        {"[1e15]", "[1000000000000000.0]"},
        {"[1e16]", "[1e+16]"},
        {"[0.0001]", "[0.0001]"},
        {"[0.00001]", "[1e-05]"},
        {"[1.5e300]", "[1.5e+300]"},
        {"[5e-324]", "[5e-324]"},
        {"[0.1]", "[0.1]"},
        {"[123456789.125]", "[123456789.125]"},
        {"[18446744073709551615]", "[18446744073709551615]"},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(canonicalJSON(nlohmann::json::parse(input)), expected) << input;
        EXPECT_EQ(pythonCanonical(input), expected) << input;
    }
}

TEST(CanonicalJSONTest, RefusesWhatCannotBeWritten) {
    EXPECT_FALSE(canonicalJSON(nlohmann::json(std::numeric_limits<double>::infinity())));
    EXPECT_FALSE(canonicalJSON(nlohmann::json(std::numeric_limits<double>::quiet_NaN())));
    nlohmann::json deep = nlohmann::json::array();
    for (int i = 0; i < 600; ++i) {
        deep = nlohmann::json::array({deep});
    }
    EXPECT_FALSE(canonicalJSON(deep));
}

} // namespace
} // namespace zevra
