#pragma once

#include <curl/curl.h>

#include <array>
#include <filesystem>
#include <mutex>

namespace zevra {

// One libcurl share: cookies, TLS sessions, name lookups and connections common to every easy
// handle attached to it. The cookies are loaded from and saved to `cookieFile` when one is given.
class CurlSharedSession {
public:
    explicit CurlSharedSession(std::filesystem::path cookieFile);
    ~CurlSharedSession();
    CurlSharedSession(const CurlSharedSession&) = delete;
    CurlSharedSession& operator=(const CurlSharedSession&) = delete;

    // Attaches the handle and turns its cookie engine on.
    void attach(CURL* handle) const;
    // Writes the current cookies to the file (atomically); false when that failed.
    [[nodiscard]] bool saveCookies();

private:
    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self);
    static void unlock(CURL*, curl_lock_data data, void* self);
    void loadCookies();

    std::filesystem::path cookieFile_;
    CURLSH* share_;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;
    std::mutex saving_;
};

} // namespace zevra
