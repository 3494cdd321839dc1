#pragma once

#include "platform/keyring.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

namespace zevra::testing {

// A keyring in memory; a locked one refuses every change. Writes let other threads run before
// they return, as a real keyring's round trip does.
class MemoryKeyring final : public Keyring {
public:
    bool locked = false;
    std::optional<std::string> find(const std::string& service,
                                    const std::string& account) override {
        const std::lock_guard guard(lock_);
        const auto item = items_.find({service, account});
        return item == items_.end() ? std::nullopt : std::optional(item->second);
    }
    bool add(const std::string& service, const std::string& account,
             const std::string& data) override {
        if (!locked) {
            const std::lock_guard guard(lock_);
            items_[{service, account}] = data;
        }
        std::this_thread::yield();
        return !locked;
    }
    void remove(const std::string& service, const std::string& account) override {
        if (!locked) {
            const std::lock_guard guard(lock_);
            items_.erase({service, account});
        }
        std::this_thread::yield();
    }

private:
    std::mutex lock_;
    std::map<std::pair<std::string, std::string>, std::string> items_;
};

} // namespace zevra::testing
