#include "platform/secure_random.h"

#include <sys/random.h>

#include <cerrno>

namespace zevra {
namespace {

class GetrandomSecureRandom final : public SecureRandom {
public:
    bool fill(std::span<std::byte> bytes) override {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t got = getrandom(bytes.data() + done, bytes.size() - done, 0);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(got);
        }
        return true;
    }
};

} // namespace

SecureRandom& processSecureRandom() {
    static GetrandomSecureRandom random;
    return random;
}

} // namespace zevra
