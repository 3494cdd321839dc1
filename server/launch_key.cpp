#include "server/launch_key.h"

#include "base/utf8.h"
#include "server/http_framing.h"

#include <openssl/crypto.h>

#include <algorithm>

namespace zevra {
namespace {

// Compared in constant time, so answers reveal nothing about how much of a guess was right.
bool sameKey(std::string_view given, std::string_view key) {
    return given.size() == key.size() && CRYPTO_memcmp(given.data(), key.data(), key.size()) == 0;
}

bool cookiesCarry(std::string_view cookies, std::string_view key) {
    while (!cookies.empty()) {
        const auto end = std::min(cookies.find(';'), cookies.size());
        const auto pair = trimmedWhiteSpaceAndLineBreaks(cookies.substr(0, end));
        const auto equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == launchKeyCookieName &&
            sameKey(pair.substr(equals + 1), key)) {
            return true;
        }
        cookies.remove_prefix(std::min(end + 1, cookies.size()));
    }
    return false;
}

} // namespace

bool requestCarriesLaunchKey(std::string_view headers, std::string_view key) {
    if (key.empty()) {
        return false;
    }
    if (const auto given = parseHeader(headers, "X-Zevra-Launch-Key");
        given && sameKey(*given, key)) {
        return true;
    }
    const auto cookies = parseHeader(headers, "Cookie");
    return cookies && cookiesCarry(*cookies, key);
}

} // namespace zevra
