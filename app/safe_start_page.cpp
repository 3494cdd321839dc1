#include "app/safe_start_page.h"

namespace zevra {

std::string safeStartPage(std::string_view releaseHost) {
    return "<!doctype html><html><head><meta charset=\"utf-8\"><title>ZEVRA safe start</title>"
           "<style>html,body{height:100%;margin:0;background:#c0c0c0;color:#000;"
           "font:14px 'Courier New',monospace}main{height:100%;display:flex;align-items:center;"
           "justify-content:center;text-align:center}section{border:2px outset #fff;"
           "padding:28px;max-width:580px;background:#c0c0c0}h1{font-size:18px;"
           "letter-spacing:.22em}button{margin-top:16px;padding:8px 18px;border:2px outset #fff;"
           "background:#c0c0c0;font:inherit}</style></head><body><main><section>"
           "<h1>Z E V R A</h1><p>ZEVRA detected three rapid unclean exits and opened a safe "
           "recovery screen instead of starting another crash loop.</p><p>Your account session "
           "and local files were preserved. Retry the normal shell when you are ready; if it "
           "stops again, use the verified installer at " +
           std::string(releaseHost) +
           "/install.</p><button onclick=\"location.href='http://127.0.0.1:18484/index.html'\">"
           "retry normal start</button></section></main></body></html>";
}

} // namespace zevra
