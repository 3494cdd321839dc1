#pragma once

#include "platform/application.h"

#include <thread>

namespace zevra {

// SIGTERM, SIGINT and SIGHUP end the event loop so the shutdown sequence runs. Libraries start
// threads of their own before `main`, so masking cannot steer a signal to one thread: the
// handler only writes a byte to a pipe (async-signal-safe) and an owned watcher thread asks the
// application to quit. The watcher is joined when this object goes.
class TerminationSignals {
public:
    explicit TerminationSignals(Application& application);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    std::thread watcher_;
};

} // namespace zevra
