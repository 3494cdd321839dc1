#include "webshell/floater_bridge_script.h"

namespace zevra {

std::string_view floaterBridgeScript() {
    return R"JS((function () {
  if (window._zevraFloaterBridgeInstalled) return;
  window._zevraFloaterBridgeInstalled = true;
  window.zevraOpenAsFloater = function (url, label) {
    try {
      window.webkit.messageHandlers.zevraFloater.postMessage({
        url: String(url || ""), label: String(label || "") });
    } catch (error) {}
  };
  window.open = function (url) {
    if (url) window.zevraOpenAsFloater(url);
    return null;
  };
  document.addEventListener("click", function (event) {
    var anchor = event.target && event.target.closest ? event.target.closest("a") : null;
    if (!anchor) return;
    var href = anchor.getAttribute("href") || anchor.href || "";
    if (!href || /^(javascript:|mailto:|#)/i.test(href)) return;
    if (anchor.target !== "_blank") return;
    event.preventDefault();
    event.stopPropagation();
    window.zevraOpenAsFloater(anchor.href || href,
                              (anchor.textContent || "").trim().slice(0, 18));
  }, true);
  function button(id, text) {
    var b = document.createElement("button");
    b.id = id;
    b.type = "button";
    b.textContent = text;
    b.style.cssText = "border:2px outset #fff;background:#c0c0c0;color:#000;font:inherit;" +
      "font-size:10px;padding:1px 7px;cursor:pointer;border-radius:0";
    return b;
  }
  function span(text, css) {
    var s = document.createElement("span");
    s.textContent = text;
    s.style.cssText = css;
    return s;
  }
  function installBanner() {
    if (document.getElementById("zevra-floater-banner")) return;
    if (!document.body) {
      setTimeout(installBanner, 50);
      return;
    }
    var bar = document.createElement("div");
    bar.id = "zevra-floater-banner";
    bar.style.cssText = "position:fixed;top:0;left:0;right:0;z-index:2147483646;" +
      "background:#c0c0c0;color:#000;border-bottom:1px solid #000;" +
      "font:11px 'Courier New',Courier,monospace;padding:4px 10px;display:flex;" +
      "align-items:center;gap:8px;box-shadow:0 1px 0 rgba(255,255,255,.7) inset";
    var url = span(location.href, "flex:1;min-width:0;white-space:nowrap;overflow:hidden;" +
      "text-overflow:ellipsis;color:#0000ee");
    url.id = "zfb-url";
    var copy = button("zfb-copy", "copy");
    copy.onclick = function () {
      navigator.clipboard.writeText(location.href).then(function () {
        copy.textContent = "\u2713";
        setTimeout(function () { copy.textContent = "copy"; }, 1200);
      }, function () {});
    };
    var reload = button("zfb-reload", "\u21ba");
    reload.onclick = function () { location.reload(); };
    bar.append(span("\u2b08 zevra", "font:bold 13px 'Times New Roman',Times,serif;" +
      "letter-spacing:.5px"), span("\u00b7", "color:#555"), url, copy, reload);
    var spacer = document.createElement("div");
    spacer.style.height = "24px";
    document.body.insertBefore(spacer, document.body.firstChild);
    document.body.appendChild(bar);
  }
  if (document.readyState === "loading") {
    document.addEventListener("DOMContentLoaded", installBanner);
  } else {
    installBanner();
  }
})();
)JS";
}

} // namespace zevra
