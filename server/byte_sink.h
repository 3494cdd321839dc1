#pragma once

#include "base/read_only_file.h"

#include <string_view>

namespace zevra {

// Where a connection's one answer goes: the write-side twin of ByteStream.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes `head` and, only when it went out, `body`; false when not every byte went out.
    [[nodiscard]] virtual bool writeAnswer(std::string_view head, std::string_view body) = 0;
    // The same with the first `body.size()` bytes of an open file as the body.
    [[nodiscard]] virtual bool writeAnswer(std::string_view head, const ReadOnlyFile& body) = 0;
};

} // namespace zevra
