#include "app/local_server_unavailable_page.h"

namespace zevra {

std::string localServerUnavailablePage() {
    return "<!doctype html><html><head><meta charset=\"utf-8\">"
           "<title>ZEVRA local server unavailable</title><style>"
           "html,body{height:100%;margin:0;background:#c0c0c0;color:#000;"
           "font:14px 'Courier New',monospace}"
           "main{height:100%;display:flex;align-items:center;justify-content:center;"
           "text-align:center}"
           "section{border:2px outset #fff;padding:24px;max-width:560px;background:#c0c0c0}"
           "h1{font-size:18px;letter-spacing:.22em}"
           "</style></head><body><main><section><h1>Z E V R A</h1>"
           "<p>The local server could not listen on 127.0.0.1:18484; another program may be "
           "using that address.</p>"
           "<p>ZEVRA did not load the shell from it, and browser sign-in stays off until its "
           "own server is running. Close the other program and start ZEVRA again.</p>"
           "</section></main></body></html>";
}

} // namespace zevra
