#pragma once

#include "platform/keyring.h"

#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace zevra::testing {

// An in-memory keyring of one item, or a locked one that refuses every write. Its writes let
// other threads run before they return, as a real keyring's round trip does.
class MemoryKeyring final : public Keyring {
public:
    explicit MemoryKeyring(bool locked = false) : locked_(locked) {}
    std::optional<std::string> find(const std::string&, const std::string&) override {
        const std::lock_guard guard(lock_);
        return item_;
    }
    bool add(const std::string&, const std::string&, const std::string& data) override {
        if (locked_) {
            return false;
        }
        {
            const std::lock_guard guard(lock_);
            item_ = data;
        }
        std::this_thread::yield();
        return true;
    }
    void remove(const std::string&, const std::string&) override {
        {
            const std::lock_guard guard(lock_);
            item_.reset();
        }
        std::this_thread::yield();
    }

private:
    const bool locked_;
    std::mutex lock_;
    std::optional<std::string> item_;
};

} // namespace zevra::testing
