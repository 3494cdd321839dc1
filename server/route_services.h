#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace zevra {

class BrowserSession;
class HttpClient;
class DownloadsIndex;
class SearchCatalogue;

// What the route handlers work with, handed to each one; never the server itself.
struct RouteServices {
    std::filesystem::path resourcesPath; // root of the shell's files
    BrowserSession& session;
    SearchCatalogue& search;
    DownloadsIndex& downloads;
    std::filesystem::path downloadsFolder; // where saved downloads go
    // Shows a folder in the file manager; posts to the main thread and returns at once.
    std::function<void(const std::filesystem::path&)> revealFolder;
    // Names this launch in "/health" answers; empty leaves it out.
    std::string instance;
    // Fetches first-party pages: one cookie store for all of them, kept across launches.
    HttpClient& firstParty;
    // This launch's key: the guarded routes answer only requests that carry it. Empty refuses
    // them all.
    std::string launchKey;
};

} // namespace zevra
