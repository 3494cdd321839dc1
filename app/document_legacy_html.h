#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace zevra {

// The locked-down page for documents that are not world capsules: JSON pretty-printed with
// sorted keys, other UTF-8 text as it is, anything else a fixed notice.
[[nodiscard]] std::string legacyDocumentHTML(std::string_view data, std::string_view filename);

// The same page when the caller has already parsed the data (null: it did not parse as JSON).
[[nodiscard]] std::string legacyDocumentHTML(std::string_view data, const nlohmann::json* parsed,
                                             std::string_view filename);

} // namespace zevra
