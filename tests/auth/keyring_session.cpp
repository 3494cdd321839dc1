#include "keyring_session.h"

#include "platform/keyring.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string_view>

namespace zevra::testing {

bool secretServiceReachable() {
    // A write that the keyring must accept and give back proves it is reachable and unlocked.
    const std::string service = "com.kelmor.zevra.test-probe." + uniqueTestVersion();
    Keyring& keyring = processKeyring();
    if (!keyring.add(service, "probe", "present")) {
        return false;
    }
    const bool readBack = keyring.find(service, "probe") == std::optional<std::string>("present");
    keyring.remove(service, "probe");
    return readBack;
}

bool keyringTestsMaySkip() {
    const char* value = std::getenv("ZEVRA_TEST_NO_KEYRING");
    return value != nullptr && std::string_view(value) == "1";
}

std::string uniqueTestVersion() {
    static std::atomic<int> counter{0};
    return "7." + std::to_string(::getpid()) + "." + std::to_string(++counter);
}

} // namespace zevra::testing
