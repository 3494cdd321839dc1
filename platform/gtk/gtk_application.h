#pragma once

#include "platform/application.h"

#include <memory>

namespace zevra {

// The GTK 3 + WebKitGTK application; nullptr when no display can be opened.
std::unique_ptr<Application> makeGtkApplication();

} // namespace zevra
