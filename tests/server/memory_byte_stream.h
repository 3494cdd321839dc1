#pragma once

#include "server/byte_stream.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace zevra::testing {

// Hands out scripted pieces, each split further by the reader's own read size; then ends
// with `finalResult` (0: end of stream, -1: an error or timeout).
class MemoryByteStream final : public ByteStream {
public:
    explicit MemoryByteStream(std::vector<std::string> pieces, long finalResult = 0)
        : pieces_(std::move(pieces)), finalResult_(finalResult) {}

    [[nodiscard]] long readSome(std::span<char> into) override {
        while (next_ < pieces_.size() && offset_ == pieces_[next_].size()) {
            ++next_;
            offset_ = 0;
        }
        if (next_ == pieces_.size()) {
            return finalResult_;
        }
        const auto& piece = pieces_[next_];
        const auto n = std::min(into.size(), piece.size() - offset_);
        std::memcpy(into.data(), piece.data() + offset_, n);
        offset_ += n;
        delivered_ += n;
        return static_cast<long>(n);
    }

    [[nodiscard]] std::size_t delivered() const { return delivered_; }

private:
    std::vector<std::string> pieces_;
    long finalResult_;
    std::size_t next_ = 0;
    std::size_t offset_ = 0;
    std::size_t delivered_ = 0;
};

} // namespace zevra::testing
