#pragma once

#include "server/byte_sink.h"

#include <unistd.h>

#include <string>

namespace zevra::testing {

// Keeps the bytes of the one answer written to it, as the peer would read them.
class MemoryByteSink final : public ByteSink {
public:
    [[nodiscard]] bool writeAnswer(std::string_view head, std::string_view body) override {
        written.append(head).append(body);
        return true;
    }
    [[nodiscard]] bool writeAnswer(std::string_view head, const ReadOnlyFile& body) override {
        std::string bytes(static_cast<std::size_t>(body.size()), '\0');
        const auto n = ::pread(body.descriptor(), bytes.data(), bytes.size(), 0);
        return n == static_cast<ssize_t>(bytes.size()) && writeAnswer(head, bytes);
    }

    std::string written;
};

} // namespace zevra::testing
