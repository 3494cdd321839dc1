#include "webshell/download_hook_script.h"

namespace zevra {

const char* downloadHookScript() {
    return R"JS((function () {
  var blobs = new Map();
  var createObjectURL = URL.createObjectURL;
  URL.createObjectURL = function (object) {
    var url = createObjectURL.apply(this, arguments);
    if (object instanceof Blob) { blobs.set(url, object); }
    return url;
  };
  function post(message) {
    window.webkit.messageHandlers.zevraDownload.postMessage(message);
  }
  function sendBlob(blob, filename) {
    var reader = new FileReader();
    reader.onload = function () {
      try { post({ data: reader.result, filename: filename || "" }); }
      catch (error) { console.log("messageHandler failed:", error); }
    };
    reader.readAsDataURL(blob);
  }
  var click = HTMLAnchorElement.prototype.click;
  HTMLAnchorElement.prototype.click = function () {
    var anchor = this;
    var href = anchor.href || "";
    var filename = anchor.getAttribute("download") || "";
    if (href.indexOf("blob:") === 0) {
      var remembered = blobs.get(href);
      if (remembered) { sendBlob(remembered, filename); return; }
      fetch(href).then(function (response) { return response.blob(); })
        .then(function (blob) { sendBlob(blob, filename); })
        .catch(function () { click.call(anchor); });
      return;
    }
    if (href.indexOf("data:") === 0) {
      try { post({ data: href, filename: filename }); }
      catch (error) { click.call(anchor); }
      return;
    }
    return click.apply(anchor, arguments);
  };
  document.addEventListener("click", function (event) {
    var target = event.target;
    var anchor = target && target.closest ? target.closest("a[download]") : null;
    if (!anchor) { return; }
    var href = anchor.href || "";
    if (href.indexOf("blob:") !== 0 && href.indexOf("data:") !== 0) { return; }
    event.preventDefault();
    event.stopPropagation();
    event.stopImmediatePropagation();
    anchor.click();
  }, true);
})();)JS";
}

} // namespace zevra
