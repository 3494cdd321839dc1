#include "webshell/download_hook_script.h"

namespace zevra {

std::string_view downloadHookScript() {
    // Revoked URLs leave the map, so their blobs can be freed and no longer "downloaded".
    return R"JS((function () {
  var blobs = new Map();
  var createObjectURL = URL.createObjectURL;
  var revokeObjectURL = URL.revokeObjectURL;
  URL.createObjectURL = function (object) {
    var url = createObjectURL.apply(URL, arguments);
    if (object instanceof Blob) blobs.set(url, object);
    return url;
  };
  URL.revokeObjectURL = function (url) {
    blobs.delete(String(url));
    return revokeObjectURL.apply(URL, arguments);
  };
  function post(data, filename) {
    window.webkit.messageHandlers.zevraDownload.postMessage({ data: data, filename: filename });
  }
  function sendBlob(blob, filename) {
    var reader = new FileReader();
    reader.onload = function () {
      try {
        post(reader.result, filename);
      } catch (error) {
        console.log("messageHandler failed:", error);
      }
    };
    reader.readAsDataURL(blob);
  }
  var nativeClick = HTMLAnchorElement.prototype.click;
  // The engine's own click dispatches a click event; the listener below must let it through,
  // or a link the hook cannot read would be clicked again without end.
  var bypass = false;
  function clickNatively(anchor) {
    bypass = true;
    try {
      return nativeClick.call(anchor);
    } finally {
      bypass = false;
    }
  }
  HTMLAnchorElement.prototype.click = function () {
    var anchor = this;
    var href = String(anchor.href || "");
    var filename = anchor.getAttribute("download") || "";
    if (href.indexOf("blob:") === 0) {
      var blob = blobs.get(href);
      if (blob) {
        sendBlob(blob, filename);
        return;
      }
      fetch(href).then(function (response) {
        return response.blob();
      }).then(function (fetched) {
        sendBlob(fetched, filename);
      }).catch(function () {
        clickNatively(anchor);
      });
      return;
    }
    if (href.indexOf("data:") === 0) {
      try {
        post(href, filename);
      } catch (error) {
        clickNatively(anchor);
      }
      return;
    }
    return nativeClick.call(anchor);
  };
  document.addEventListener("click", function (event) {
    var target = event.target;
    var anchor = target && target.closest ? target.closest("a[download]") : null;
    if (!anchor || bypass) return;
    var href = String(anchor.href || "");
    if (href.indexOf("blob:") !== 0 && href.indexOf("data:") !== 0) return;
    event.preventDefault();
    event.stopPropagation();
    event.stopImmediatePropagation();
    anchor.click();
  }, true);
})();
)JS";
}

} // namespace zevra
