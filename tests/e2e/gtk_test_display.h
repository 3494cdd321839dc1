#pragma once

#include "platform/application.h"

#include <chrono>
#include <functional>
#include <memory>

namespace zevra::testing {

// The GTK application on the display scripts/run-tests.sh started; null (with a test failure
// noted) when there is none.
std::unique_ptr<Application> gtkApplicationOnTestDisplay();

// Runs the main context until `done` holds or the time is up.
void spinMainContextUntil(const std::function<bool()>& done, std::chrono::seconds timeout);

} // namespace zevra::testing
