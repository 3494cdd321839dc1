#include "platform/gtk/script_message_relay.h"

#include <webkit2/webkit2.h>

namespace zevra {
namespace {

// The body crosses the two worlds as JSON text inside a DOM event on the frame's own document;
// a cross-origin frame cannot dispatch events on another frame's document. Everything the page
// world's script uses is captured before any page script runs.
constexpr const char* pageWorldScript = R"JS((function () {
  var names = %NAMES%;
  var dispatch = EventTarget.prototype.dispatchEvent;
  var stringify = JSON.stringify;
  var Event = CustomEvent;
  var target = document;
  var namespace = window.webkit;
  if (namespace === undefined) {
    namespace = { messageHandlers: {} };
    Object.defineProperty(window, "webkit", { value: namespace });
  }
  names.forEach(function (name) {
    var handler = Object.freeze({ postMessage: function (body) {
      var text = stringify(body === undefined ? null : body);
      var detail = stringify({ name: name, body: text === undefined ? "null" : text });
      dispatch.call(target, new Event("zevra-script-message", { detail: detail }));
    } });
    Object.defineProperty(namespace.messageHandlers, name, { value: handler, enumerable: true });
  });
})();)JS";

// Runs in the isolated world: what it reads of the frame, the page cannot redefine.
constexpr const char* relayScript = R"JS((function () {
  var names = %NAMES%;
  var handlers = window.webkit.messageHandlers;
  document.addEventListener("zevra-script-message", function (event) {
    if (typeof event.detail !== "string") { return; }
    var message;
    try { message = JSON.parse(event.detail); } catch (error) { return; }
    if (message === null || typeof message !== "object" || typeof message.body !== "string" ||
        names.indexOf(message.name) < 0) { return; }
    handlers[message.name].postMessage(
      { origin: self.origin, top: window === window.top, body: message.body });
  }, true);
})();)JS";

std::string withNames(std::string script, const std::vector<std::string>& names) {
    const std::string placeholder = "%NAMES%";
    script.replace(script.find(placeholder), placeholder.size(), nlohmann::json(names).dump());
    return script;
}

void addScript(WebKitUserContentManager* manager, const std::string& source, const char* world) {
    WebKitUserScript* script =
        world == nullptr
            ? webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                     WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr)
            : webkit_user_script_new_for_world(
                  source.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                  WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, world, nullptr, nullptr);
    webkit_user_content_manager_add_script(manager, script);
    webkit_user_script_unref(script);
}

} // namespace

void installScriptMessageRelay(WebKitUserContentManager* manager,
                               const std::vector<std::string>& handlerNames) {
    if (handlerNames.empty()) {
        return;
    }
    addScript(manager, withNames(pageWorldScript, handlerNames), nullptr);
    addScript(manager, withNames(relayScript, handlerNames), scriptRelayWorld);
    for (const std::string& name : handlerNames) {
        webkit_user_content_manager_register_script_message_handler_in_world(manager, name.c_str(),
                                                                             scriptRelayWorld);
    }
}

std::optional<ScriptMessage> scriptMessageFromRelay(const std::string& handlerName,
                                                    const std::string& relayed) {
    const auto envelope = nlohmann::json::parse(relayed, nullptr, false);
    if (!envelope.is_object()) {
        return std::nullopt;
    }
    const auto origin = envelope.find("origin");
    const auto top = envelope.find("top");
    const auto body = envelope.find("body");
    if (origin == envelope.end() || !origin->is_string() || top == envelope.end() ||
        !top->is_boolean() || body == envelope.end() || !body->is_string()) {
        return std::nullopt;
    }
    auto parsed = nlohmann::json::parse(body->get_ref<const std::string&>(), nullptr, false);
    if (parsed.is_discarded()) {
        return std::nullopt;
    }
    return ScriptMessage{handlerName, origin->get<std::string>(), top->get<bool>(),
                         std::move(parsed)};
}

} // namespace zevra
