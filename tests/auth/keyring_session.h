#pragma once

#include "platform/keyring.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <string_view>

namespace zevra::testing {

// A three-part version no other test process uses, so parallel runs never share an item.
inline std::string uniqueTestVersion() {
    static std::atomic<int> counter{0};
    return "7." + std::to_string(::getpid()) + "." + std::to_string(++counter);
}

// A write the keyring must accept and give back proves it is reachable and unlocked.
inline bool secretServiceReachable() {
    const std::string service = "com.kelmor.zevra.test-probe." + uniqueTestVersion();
    if (!processKeyring().add(service, "probe", "present")) {
        return false;
    }
    const bool readBack = processKeyring().find(service, "probe") == "present";
    processKeyring().remove(service, "probe");
    return readBack;
}

} // namespace zevra::testing

// Keyring tests need the Secret Service the test run starts (gnome-keyring under
// dbus-run-session). Without it they fail, unless ZEVRA_TEST_NO_KEYRING=1 says to skip them.
#define ZEVRA_REQUIRE_KEYRING()                                                                    \
    do {                                                                                           \
        if (!::zevra::testing::secretServiceReachable()) {                                         \
            const char* skip = std::getenv("ZEVRA_TEST_NO_KEYRING");                               \
            if (skip != nullptr && std::string_view(skip) == "1") {                                \
                GTEST_SKIP() << "no Secret Service and ZEVRA_TEST_NO_KEYRING=1";                   \
            }                                                                                      \
            FAIL() << "no Secret Service reachable; run under dbus-run-session with "              \
                      "gnome-keyring, or set ZEVRA_TEST_NO_KEYRING=1";                             \
        }                                                                                          \
    } while (false)
