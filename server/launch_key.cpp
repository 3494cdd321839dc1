#include "server/launch_key.h"

#include "base/hex.h"
#include "base/utf8.h"
#include "platform/atomic_file.h"
#include "server/http_framing.h"

#include <openssl/crypto.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>

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

// Makes the folder if need be; true when it is then a folder (not a link) of this user's that
// nobody else can enter.
bool privateFolder(const std::filesystem::path& folder) {
    static_cast<void>(::mkdir(folder.c_str(), 0700));
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::getuid()) {
        return false;
    }
    return (status.st_mode & 077) == 0 || ::chmod(folder.c_str(), 0700) == 0;
}

} // namespace

std::optional<std::string> makeLaunchKey(SecureRandom& random) {
    std::array<std::byte, 32> bytes{};
    if (!random.fill(bytes)) {
        return std::nullopt;
    }
    return lowercaseHex(bytes);
}

std::filesystem::path launchKeyFile(const std::filesystem::path& runtime) {
    return runtime / "ZEVRA" / "launch-key";
}

bool writeLaunchKeyFile(const std::filesystem::path& file, std::string_view key) {
    return privateFolder(file.parent_path()) && writeFileAtomically(file, key);
}

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
