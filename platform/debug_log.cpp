#include "platform/debug_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zevra {

void debugLine(const std::string& text) {
    const char* domains = std::getenv("G_MESSAGES_DEBUG");
    if (domains == nullptr ||
        (std::strstr(domains, "ZEVRA") == nullptr && std::strstr(domains, "all") == nullptr)) {
        return;
    }
    std::fprintf(stderr, "ZEVRA-DEBUG: %s\n", text.c_str());
}

} // namespace zevra
