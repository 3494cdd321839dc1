#pragma once

#include <filesystem>

namespace zevra {

class BrowserSession;

// What the route handlers work with, handed to each one; never the server itself.
struct RouteServices {
    std::filesystem::path resourcesPath; // root of the shell's files
    BrowserSession& session;
};

} // namespace zevra
