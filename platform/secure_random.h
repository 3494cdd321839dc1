#pragma once

#include <cstddef>
#include <span>

namespace zevra {

// The system's cryptographically secure random generator.
class SecureRandom {
public:
    virtual ~SecureRandom() = default;
    // Fills every byte; false when the generator could not deliver them all.
    [[nodiscard]] virtual bool fill(std::span<std::byte> bytes) = 0;
};

// getrandom(2).
SecureRandom& processSecureRandom();

} // namespace zevra
