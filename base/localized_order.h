#pragma once

#include <unicode/uversion.h>

#include <memory>
#include <string>
#include <string_view>

U_NAMESPACE_BEGIN
class Collator;
U_NAMESPACE_END

namespace zevra {

// The user's locale's order of texts without regard to case ("apple" < "Banana" < "cherry"),
// as byte strings that compare with plain `<`: made once per text, compared many times.
class LocalizedTextOrder {
public:
    LocalizedTextOrder();
    ~LocalizedTextOrder();
    LocalizedTextOrder(const LocalizedTextOrder&) = delete;
    LocalizedTextOrder& operator=(const LocalizedTextOrder&) = delete;

    // The key of UTF-8 text; invalid sequences count as U+FFFD.
    [[nodiscard]] std::string sortKey(std::string_view utf8) const;

private:
    std::unique_ptr<icu::Collator> collator_;
};

} // namespace zevra
