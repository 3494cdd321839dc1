#include "request_input_check.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zevra {
namespace {

// Every input the fuzzer kept still satisfies the reader's rules, so a regression it once
// found stays found.
TEST(ServerFuzzCorpus, EveryInputKeepsTheReaderRules) {
    const std::filesystem::path corpus = ZEVRA_SERVER_CORPUS_DIR;
    std::size_t replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const auto input = testing::readFile(entry.path());
        EXPECT_EQ(fuzzing::requestInputViolation(input), std::nullopt) << entry.path();
        ++replayed;
    }
    EXPECT_GE(replayed, 20U);
}

} // namespace
} // namespace zevra
