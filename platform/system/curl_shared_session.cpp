#include "platform/system/curl_shared_session.h"

#include "base/read_only_file.h"
#include "platform/atomic_file.h"

#include <memory>
#include <string>
#include <string_view>
#include <system_error>

namespace zevra {
namespace {

constexpr std::string_view cookieFileHeader = "# Netscape HTTP Cookie File\n";
constexpr std::size_t maximumCookieFileBytes = 4 << 20;

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

} // namespace

CurlSharedSession::CurlSharedSession(std::filesystem::path cookieFile)
    : cookieFile_(std::move(cookieFile)), share_(curl_share_init()) {
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CurlSharedSession::lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CurlSharedSession::unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    for (const auto data : {CURL_LOCK_DATA_COOKIE, CURL_LOCK_DATA_SSL_SESSION, CURL_LOCK_DATA_DNS,
                            CURL_LOCK_DATA_CONNECT}) {
        curl_share_setopt(share_, CURLSHOPT_SHARE, data);
    }
    loadCookies();
}

CurlSharedSession::~CurlSharedSession() {
    curl_share_cleanup(share_);
}

void CurlSharedSession::attach(CURL* handle) const {
    curl_easy_setopt(handle, CURLOPT_SHARE, share_);
    curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
}

void CurlSharedSession::lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<CurlSharedSession*>(self)->locks_.at(static_cast<std::size_t>(data)).lock();
}

void CurlSharedSession::unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<CurlSharedSession*>(self)->locks_.at(static_cast<std::size_t>(data)).unlock();
}

void CurlSharedSession::loadCookies() {
    if (cookieFile_.empty()) {
        return;
    }
    const auto text = readRegularFile(cookieFile_, maximumCookieFileBytes);
    if (!text || !text->starts_with(cookieFileHeader)) {
        return;
    }
    const std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
    if (handle == nullptr) {
        return;
    }
    attach(handle.get());
    std::string_view rest(*text);
    while (!rest.empty()) {
        const auto end = std::min(rest.find('\n'), rest.size());
        const std::string line(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        // "#HttpOnly_" starts a cookie line; other "#" lines are comments.
        if (!line.empty() && (!line.starts_with("#") || line.starts_with("#HttpOnly_"))) {
            curl_easy_setopt(handle.get(), CURLOPT_COOKIELIST, line.c_str());
        }
    }
}

bool CurlSharedSession::saveCookies() {
    if (cookieFile_.empty()) {
        return true;
    }
    const std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
    if (handle == nullptr) {
        return false;
    }
    attach(handle.get());
    curl_slist* raw = nullptr;
    if (curl_easy_getinfo(handle.get(), CURLINFO_COOKIELIST, &raw) != CURLE_OK) {
        return false;
    }
    const std::unique_ptr<curl_slist, ListDeleter> cookies(raw);
    std::string text(cookieFileHeader);
    for (const curl_slist* item = cookies.get(); item != nullptr; item = item->next) {
        text.append(item->data).push_back('\n');
    }
    const std::lock_guard guard(saving_);
    std::error_code ignored;
    std::filesystem::create_directories(cookieFile_.parent_path(), ignored);
    return writeFileAtomically(cookieFile_, text);
}

} // namespace zevra
