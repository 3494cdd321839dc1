#pragma once

#include "platform/web_view_events.h"

#include <optional>
#include <string>
#include <vector>

typedef struct _WebKitUserContentManager WebKitUserContentManager;

namespace zevra {

// WebKitGTK tells a script message handler nothing about the frame that posted, and a handler
// registered in the page's world is reachable from every frame, cross-origin iframes included.
// So the handlers live in an isolated script world that page scripts cannot reach, and a relay
// script in that world forwards each message with the origin and top-frame flag it reads there.
// The page keeps calling window.webkit.messageHandlers.NAME.postMessage: a small script in the
// page's world defines those names and hands the body to the relay of the same frame.

// The isolated world the handlers and the relay run in.
inline constexpr const char* scriptRelayWorld = "zevra-script-relay";

// Adds the page-world script, the relay and one isolated-world handler per name.
void installScriptMessageRelay(WebKitUserContentManager* manager,
                               const std::vector<std::string>& handlerNames);

// The message the relay forwarded for `handlerName` (its JSON form); absent when malformed.
[[nodiscard]] std::optional<ScriptMessage> scriptMessageFromRelay(const std::string& handlerName,
                                                                  const std::string& relayed);

} // namespace zevra
