#include "platform/clock.h"

namespace zevra {

const Clock& systemClock() {
    static const SystemClock clock;
    return clock;
}

} // namespace zevra
