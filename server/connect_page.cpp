#include "server/connect_page.h"

namespace zevra {

std::string_view connectPageHTML() {
    return R"html(<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>ZEVRA — connect app</title>
<style>
html,body{margin:0;height:100%;background:#c0c0c0;color:#000;font-family:monospace}
body{display:flex;align-items:center;justify-content:center}
main{width:34em;padding:1.5em;background:#c0c0c0;border:2px outset #fff}
h1{margin:0 0 1em;font-size:1.6em;letter-spacing:.5em;text-align:center}
#status{padding:.8em;border:2px inset #fff;background:#d4d4d4;color:#000}
button{margin:1em 0;font:inherit;background:#c0c0c0;border:2px outset #fff;padding:.3em 1em}
button:active{border-style:inset}
small{display:block;color:#333;line-height:1.4}
</style>
</head>
<body>
<main>
<h1>ZEVRA</h1>
<div id="status">checking your signed-in ZEVRA extension…</div>
<button type="button" onclick="location.reload()">try extension again</button>
<small>The installed ZEVRA extension confirms its authenticated browser state through this one-time, nonce-bound connection. The request expires in ten minutes; no token is put in the URL.</small>
</main>
<script>
(function () {
  var statusBox = document.getElementById("status");
  var connected = "extension connected — return to ZEVRA";
  function show(text, colour) {
    statusBox.textContent = text;
    statusBox.style.color = colour;
  }
  window.addEventListener("message", function (event) {
    var data = event.data;
    if (event.origin !== window.location.origin || !data || data.type !== "zevra-app-bridge-status") {
      return;
    }
    if (data.ok === true) {
      show(connected, "#087f23");
    } else {
      show(data.error || "sign in to the ZEVRA extension, then try again", "#555");
    }
  });
  function poll() {
    fetch("/auth-bridge/status", { cache: "no-store" })
      .then(function (response) { return response.json(); })
      .then(function (status) {
        if (status && status.authenticated === true) {
          show(connected, "#087f23");
          setTimeout(function () { window.close(); }, 500);
        }
      })
      .catch(function () {});
  }
  poll();
  setInterval(poll, 500);
})();
</script>
</body>
</html>
)html";
}

} // namespace zevra
