#include "server/terminal_block.h"

namespace zevra {

std::string_view terminalBlock() {
    return R"HTML(<style id="__ZEVRA_TERMINAL_COMPACT">
body.app-mode .t-chat { padding: 10px 12px; gap: 8px; }
body.app-mode .t-suggestions { display: none; }
body.app-mode .t-input-wrap { padding: 6px 10px; }
body.app-mode .t-input { min-height: 30px; padding: 5px 8px; font-size: 11px; }
body.app-mode .t-attach-btn { padding: 5px 7px; font-size: 10px; }
body.app-mode .t-send-btn { padding: 5px 10px; font-size: 11px; }
body.app-mode .t-msg.system .t-bubble, body.app-mode .t-msg.assistant .t-bubble { padding: 8px 10px; font-size: 12px; line-height: 1.5; }
body.app-mode .t-msg.user .t-bubble { padding: 7px 10px; font-size: 11px; line-height: 1.45; }
</style>
<script id="__ZEVRA_TERMINAL_ROUTE">
(function () {
  var BASE = "http://127.0.0.1:18484/proxy";
  var CONTEXT_EVERY_MS = 300000;
  var engineContext = null;
  var engineContextAt = 0;
  function contexts() {
    var list = typeof activeContexts !== "undefined" && Array.isArray(activeContexts) ?
      activeContexts.slice(0, 24) : [];
    var now = Date.now();
    var fresh = engineContextAt !== 0 && now - engineContextAt < CONTEXT_EVERY_MS;
    var loading = fresh ? Promise.resolve(engineContext) :
      fetch(BASE + "/api/surf/engine-context", { credentials: "include", cache: "no-store" })
        .then(function (r) { return r.json(); })
        .then(function (body) {
          engineContextAt = now;
          engineContext = body && body.schema === "zevra.surf-engine-context/v1" ? body : null;
          return engineContext;
        })
        .catch(function () { engineContextAt = now; engineContext = null; return null; });
    return loading.then(function (context) {
      if (context) { list.push({ kind: "surf-field", context: context }); }
      return list;
    });
  }
  function post(path, payload) {
    return fetch(BASE + path, {
      method: "POST", credentials: "include",
      headers: { "Content-Type": "application/json" }, body: JSON.stringify(payload)
    });
  }
  function install() {
    window.chatWithAgent = function (text) {
      if (typeof setTyping === "function") { setTyping(true); }
      return contexts().then(function (list) {
        return post("/api/sorvex/chat", { message: text, contexts: list }).then(function (answer) {
          if (answer.ok) { return answer; }
          return post("/api/command", {
            line: text,
            context_packet: { active_context: list, page: "/kelmor/terminal", surface: "zevra-app" },
            meta: { client: "zevra-app", surface: "terminal" }
          });
        });
      }).then(function (answer) {
        if (!answer.ok) { throw new Error("Sorvex route unavailable"); }
        return answer.json();
      }).then(function (data) {
        var reply = [data.response, data.reply, data.message, data.content].filter(function (v) {
          return typeof v === "string" && v !== "";
        })[0];
        if (!reply) { throw new Error("Sorvex returned no reply"); }
        appendMessage("assistant", reply);
        if (typeof messageHistory !== "undefined" && Array.isArray(messageHistory)) {
          messageHistory.push({ role: "assistant", content: reply });
        }
        if (typeof data.credits_remaining === "number" && typeof updateCreditsPill === "function") {
          updateCreditsPill(data.credits_remaining);
        }
      }).catch(function () {
        appendMessage("error", "Sorvex service is temporarily unavailable. Your session is retained.");
      }).then(function () {
        if (typeof setTyping === "function") { setTyping(false); }
      });
    };
  }
  if (document.readyState === "loading") {
    document.addEventListener("DOMContentLoaded", install);
  } else {
    install();
  }
})();
</script>
)HTML";
}

} // namespace zevra
