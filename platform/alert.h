#pragma once

#include <string>
#include <vector>

namespace zevra {

enum class AlertStyle { Informational, Warning, Critical };

// A modal alert with fixed buttons, the first being the default.
struct AlertDescription {
    AlertStyle style = AlertStyle::Informational;
    std::string message;
    std::string informativeText;
    std::vector<std::string> buttons;
};

} // namespace zevra
