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

// Numbers the rich recipe does not hold, in the producer's spelling.
TEST(CanonicalJSONTest, WritesNumbersAsTheProducerDoes) {
    const std::pair<std::string, std::string> cases[] = {{"[1E2]", "[100.0]"},
                                                         {"[-0]", "[0]"},
                                                         {"[1.5e300]", "[1.5e+300]"},
                                                         {"[123456789.125]", "[123456789.125]"}};
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(canonicalJSON(nlohmann::json::parse(input)), expected) << input;
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
