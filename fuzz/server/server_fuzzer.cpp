// libFuzzer entry: the request reader and the header parsing over arbitrary bytes.
#include "request_input_check.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto violation = zevra::fuzzing::requestInputViolation(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (violation) {
        std::fprintf(stderr, "violation: %s\n", violation->c_str());
        std::abort();
    }
    return 0;
}
