#pragma once

namespace zevra {

// A timer firing on the main thread; destroying it cancels it.
class MainThreadTimer {
public:
    virtual ~MainThreadTimer() = default;
};

} // namespace zevra
