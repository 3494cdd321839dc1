#pragma once

#include <chrono>
#include <cstddef>

namespace zevra {

// How long one connection may take over its request and over its answer. The per-call limits
// end a peer that goes quiet; the overall ones end a peer that sends or reads a byte now and
// then, just often enough to keep the per-call limits from striking.

// Longest wait for the next request byte.
inline constexpr std::chrono::seconds readSilenceLimit{5};
// Longest a write may stay blocked on a peer that does not read.
inline constexpr std::chrono::seconds writeStallLimit{30};

// The whole header block must arrive within this time of the connection being taken up.
inline constexpr std::chrono::seconds headerReadTimeLimit{10};
// A declared body must arrive within this allowance after the header block, plus time for its
// bytes at the minimum rate.
inline constexpr std::chrono::seconds bodyReadAllowance{10};
inline constexpr std::size_t minimumBodyBytesPerSecond = 1 << 20;
// An answer must be written within this allowance, plus time for its bytes at the minimum rate.
inline constexpr std::chrono::seconds answerWriteAllowance{10};
inline constexpr std::size_t minimumAnswerBytesPerSecond = 1 << 20;

[[nodiscard]] constexpr std::chrono::milliseconds timeForBytes(std::size_t bytes,
                                                               std::size_t bytesPerSecond) {
    return std::chrono::milliseconds(bytes * 1000 / bytesPerSecond);
}

// Time allowed for a body that declares `bytes`, from the end of its header block.
[[nodiscard]] constexpr std::chrono::milliseconds bodyReadTimeLimit(std::size_t bytes) {
    return bodyReadAllowance + timeForBytes(bytes, minimumBodyBytesPerSecond);
}

// Time allowed for writing an answer of `bytes`, header included.
[[nodiscard]] constexpr std::chrono::milliseconds answerWriteTimeLimit(std::size_t bytes) {
    return answerWriteAllowance + timeForBytes(bytes, minimumAnswerBytesPerSecond);
}

} // namespace zevra
