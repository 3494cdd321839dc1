#include "webshell/local_shell_origin.h"

namespace zevra {

bool messageIsFromLocalShell(std::string_view origin) {
    return origin == "http://127.0.0.1:18484" || origin == "http://localhost:18484";
}

} // namespace zevra
