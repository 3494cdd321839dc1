#pragma once

#include <string_view>

namespace zevra {

// The few events worth the system log (sign-in rejections, download failures).
class SystemLog {
public:
    virtual ~SystemLog() = default;
    virtual void write(std::string_view line) = 0;
};

// syslog(3) under the identity "ZEVRA".
SystemLog& processSystemLog();

} // namespace zevra
