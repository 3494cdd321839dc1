#include "capsule/document_html_escape.h"

#include "base/json_members.h"
#include "capsule/canonical_json.h"

namespace zevra {

std::string documentHTMLEscape(const nlohmann::json* value) {
    return htmlEscaped(textualForm(value));
}

} // namespace zevra
