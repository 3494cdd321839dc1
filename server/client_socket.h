#pragma once

namespace zevra {

// An accepted connection does not block (every wait on it is bounded by its time limits) and
// has no Nagle delay.
void configureClientSocket(int fd);

// Reads and drops what has already arrived, without waiting. Closing a socket with unread
// input resets the connection, which can destroy an answer the peer has not read yet.
void discardArrivedInput(int fd);

// After a refusal whose request was not read to its end: ends our side, then drops the
// peer's remaining input for a short while so the answer is not lost to a reset.
void drainBeforeClose(int fd);

} // namespace zevra
