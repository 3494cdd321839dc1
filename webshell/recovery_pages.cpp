#include "webshell/recovery_pages.h"

namespace zevra {
namespace {

std::string style(std::string_view maxWidth) {
    return "html,body{height:100%;margin:0;background:#c0c0c0;color:#000;font:14px 'Courier "
           "New',monospace}main{height:100%;display:flex;align-items:center;justify-content:"
           "center;text-align:center}section{border:2px outset #fff;padding:24px;max-width:" +
           std::string(maxWidth) +
           ";background:#c0c0c0}button{margin-top:16px;padding:7px 18px;border:2px outset "
           "#fff;background:#c0c0c0;font:inherit}";
}

std::string page(std::string_view title, std::string_view maxWidth, std::string_view section) {
    return "<!doctype html><html><head><meta charset=\"utf-8\"><title>" + std::string(title) +
           "</title><style>" + style(maxWidth) + "</style></head><body><main><section>" +
           std::string(section) + "</section></main></body></html>";
}

// Enough for text between tags; the description never lands in an attribute.
std::string escapeText(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

std::string shellRecoveryPage(std::string_view errorDescription) {
    return page("ZEVRA recovery", "520px",
                "<strong>Z E V R A</strong><p>The local app shell did not start correctly.</p><p>" +
                    escapeText(errorDescription) +
                    "</p><button onclick=\"location.href='http://127.0.0.1:18484/index.html'\">"
                    "retry</button>");
}

std::string rendererRecoveryPage(std::string_view shellURL) {
    return page("ZEVRA renderer recovery", "560px",
                "<strong>Z E V R A \u2014 RECOVERY</strong><p>The browser engine stopped three "
                "times in 30 seconds. ZEVRA kept this window alive instead of reloading "
                "forever.</p><p>Wait a moment, then retry the local shell. Your account session "
                "and files were not cleared.</p><button onclick=\"location.href='" +
                    std::string(shellURL) + "'\">retry ZEVRA</button>");
}

} // namespace zevra
