#include "webshell/local_shell_origin.h"

#include "base/shell_address.h"

namespace zevra {

bool messageIsFromLocalShell(std::string_view origin) {
    return isLocalShellOrigin(origin);
}

} // namespace zevra
