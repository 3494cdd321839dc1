#pragma once

#include <string>

namespace zevra::testing {

// Keyring tests need the Secret Service the test run starts (gnome-keyring under
// dbus-run-session). Without it they fail, unless ZEVRA_TEST_NO_KEYRING=1 says to skip them.
// Call through ZEVRA_REQUIRE_KEYRING() at the start of each such test.
[[nodiscard]] bool secretServiceReachable();
[[nodiscard]] bool keyringTestsMaySkip();

// A three-part version no other test process uses, so parallel runs never share an item.
[[nodiscard]] std::string uniqueTestVersion();

} // namespace zevra::testing

#define ZEVRA_REQUIRE_KEYRING()                                                                    \
    do {                                                                                           \
        if (!::zevra::testing::secretServiceReachable()) {                                         \
            if (::zevra::testing::keyringTestsMaySkip()) {                                         \
                GTEST_SKIP() << "no Secret Service and ZEVRA_TEST_NO_KEYRING=1";                   \
            }                                                                                      \
            FAIL() << "no Secret Service reachable; run under dbus-run-session with "              \
                      "gnome-keyring, or set ZEVRA_TEST_NO_KEYRING=1";                             \
        }                                                                                          \
    } while (false)
