#include "update/update_environment.h"

#include <array>
#include <cstddef>

namespace zevra {

void showUpdateMessage(const UpdateEnvironment& environment, const std::string& title,
                       const std::string& detail) {
    AlertDescription alert{AlertStyle::Informational, title, detail, {"OK"}};
    environment.postToMain([runAlert = environment.runAlert, alert = std::move(alert)] {
        static_cast<void>(runAlert(alert));
    });
}

std::string newUUIDString(SecureRandom& random) {
    std::array<std::byte, 16> bytes{};
    if (!random.fill(bytes)) {
        return {};
    }
    bytes[6] = (bytes[6] & std::byte{0x0f}) | std::byte{0x40};
    bytes[8] = (bytes[8] & std::byte{0x3f}) | std::byte{0x80};
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text += '-';
        }
        static constexpr char digits[] = "0123456789ABCDEF";
        const auto value = std::to_integer<unsigned>(bytes[i]);
        text += digits[value >> 4];
        text += digits[value & 0x0f];
    }
    return text;
}

} // namespace zevra
