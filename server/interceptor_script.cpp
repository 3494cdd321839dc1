#include "server/interceptor_script.h"

#include "build_config.h"

#include <nlohmann/json.hpp>

namespace zevra {
namespace {

// A JavaScript string literal that cannot end the surrounding script element.
std::string scriptString(std::string_view text) {
    std::string literal = nlohmann::json(std::string(text)).dump();
    for (auto at = literal.find("</"); at != std::string::npos; at = literal.find("</", at)) {
        literal.replace(at, 2, "<\\/");
    }
    return literal;
}

constexpr std::string_view body = R"JS(
  var LABEL = /^[a-z0-9](?:[a-z0-9-]{0,61}[a-z0-9])?$/;
  function _routeAbsolute(value) {
    try {
      var url = new URL(value);
      var host = url.hostname.toLowerCase();
      var suffix = url.pathname + url.search + url.hash;
      if (host === SITE_HOST || host === "www." + SITE_HOST) {
        return LOOPBACK + "/proxy" + suffix;
      }
      var tail = "." + RELEASE_HOST;
      var label = host.slice(0, -tail.length);
      if (host === RELEASE_HOST || host === "www." + RELEASE_HOST ||
          (host.length > tail.length && host.slice(-tail.length) === tail && LABEL.test(label))) {
        return LOOPBACK + "/surface/" + host + suffix;
      }
    } catch (e) {}
    return value;
  }
  var KEPT = ["#", "javascript:", "blob:", "data:", "mailto:", "tel:"];
  function _startsWithAny(text, prefixes) {
    var lower = text.toLowerCase();
    for (var i = 0; i < prefixes.length; i++) {
      if (lower.indexOf(prefixes[i]) === 0) { return true; }
    }
    return false;
  }
  function _rewrite(u) {
    if (typeof u !== "string" || u === "") { return u; }
    if (u.indexOf(LOOPBACK + "/") === 0 || _startsWithAny(u, KEPT)) { return u; }
    try {
      return _routeAbsolute(new URL(u, document.baseURI || (UPSTREAM + "/")).href);
    } catch (e) {
      return u;
    }
  }
  var _fetch = window.fetch;
  if (typeof _fetch === "function") {
    window.fetch = function (input, init) {
      if (typeof input === "string") {
        input = _rewrite(input);
      } else if (typeof URL !== "undefined" && input instanceof URL) {
        input = _rewrite(input.href);
      } else if (typeof Request !== "undefined" && input instanceof Request) {
        var routed = _rewrite(input.url);
        if (routed !== input.url) { input = new Request(routed, input); }
      }
      return _fetch.call(this, input, init);
    };
  }
  var _open = XMLHttpRequest.prototype.open;
  XMLHttpRequest.prototype.open = function (method, url) {
    this._zevraMethod = String(method || "GET").toUpperCase();
    this._zevraUrl = url;
    var args = Array.prototype.slice.call(arguments);
    args[1] = _rewrite(String(url));
    return _open.apply(this, args);
  };
  document.addEventListener("click", function (event) {
    var start = event.target;
    var link = start && start.closest ? start.closest("a[href]") : null;
    if (!link) { return; }
    var href = link.getAttribute("href") || "";
    // The base tag would resolve an in-page anchor to another page; stay on this one.
    if (href.charAt(0) === "#") {
      event.preventDefault();
      if (href.length > 1) { window.location.hash = href; }
      return;
    }
    if (href === "" || _startsWithAny(href, ["javascript:", "blob:", "data:"])) {
      return;
    }
    for (var i = 0; i < LEAVING.length; i++) {
      if (href.indexOf(LEAVING[i]) !== -1) { return; }
    }
    var routed = _rewrite(href);
    if (routed !== href) {
      event.preventDefault();
      window.location.href = routed;
    }
  }, true);
  document.addEventListener("submit", function (event) {
    var form = event.target;
    if (!form || !form.getAttribute) { return; }
    var action = form.getAttribute("action") || window.location.href;
    var routed = _rewrite(action);
    if (routed !== action) { form.setAttribute("action", routed); }
  }, true);
  ["assign", "replace"].forEach(function (name) {
    var original = window.location[name];
    try {
      window.location[name] = function (url) { return original.call(window.location, _rewrite(String(url))); };
    } catch (e) {}
  });
})();
</script>)JS";

} // namespace

std::string interceptorScript(std::string_view localBase, std::string_view origin) {
    std::string script = "<script data-zevra=\"auth-interceptor\">\n(function () {\n"
                         "  if (window.__ZEVRA_AUTH_INJECTED) { return; }\n"
                         "  window.__ZEVRA_AUTH_INJECTED = true;\n"
                         "  var LOOPBACK = \"http://127.0.0.1:18484\";\n";
    script += "  var PROXY = " + scriptString(localBase) + ";\n";
    script += "  var UPSTREAM = " + scriptString(origin) + ";\n";
    script += "  var SITE_HOST = " + scriptString(config::SiteHost) + ";\n";
    script += "  var RELEASE_HOST = " + scriptString(config::ReleaseHost) + ";\n";
    // Sign-in pages that must leave for the system browser.
    script += "  var LEAVING = [\"accounts.google.com\", " +
              scriptString(std::string(config::PartnerAuthHost) + "/oauth") + "];\n";
    script += body;
    return script;
}

} // namespace zevra
