#include "platform/system_log.h"

#include <syslog.h>

#include <string>

namespace zevra {
namespace {

class SyslogSystemLog final : public SystemLog {
public:
    SyslogSystemLog() { openlog("ZEVRA", LOG_PID, LOG_USER); }
    void write(std::string_view line) override {
        const std::string text(line);
        syslog(LOG_NOTICE, "%s", text.c_str());
    }
};

} // namespace

SystemLog& processSystemLog() {
    static SyslogSystemLog log;
    return log;
}

} // namespace zevra
