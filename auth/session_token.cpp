#include "auth/session_token.h"

#include <algorithm>

namespace zevra {
namespace {

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

bool isWellFormedSessionToken(std::string_view token) {
    return token.size() == 32 && std::all_of(token.begin(), token.end(), isHexDigit);
}

bool isThreePartVersion(std::string_view version) {
    int parts = 0;
    while (true) {
        const auto end = std::min(version.find('.'), version.size());
        const auto part = version.substr(0, end);
        if (part.empty() || !std::all_of(part.begin(), part.end(), isDecimalDigit)) {
            return false;
        }
        ++parts;
        if (end == version.size()) {
            return parts == 3;
        }
        version.remove_prefix(end + 1);
    }
}

} // namespace zevra
