#include "base/localized_order.h"

#include <unicode/coll.h>
#include <unicode/unistr.h>

#include <vector>

namespace zevra {

LocalizedTextOrder::LocalizedTextOrder() {
    // Under the C/POSIX locale ICU picks "en_US_POSIX", which orders by code point and would
    // put "Zebra" before "apple"; the root order is what users of any language expect there.
    const icu::Locale& preferred = icu::Locale::getDefault();
    const bool posix = std::string_view(preferred.getName()) == "en_US_POSIX";
    UErrorCode status = U_ZERO_ERROR;
    collator_.reset(
        icu::Collator::createInstance(posix ? icu::Locale::getRoot() : preferred, status));
    if (U_FAILURE(status)) {
        collator_.reset();
        return;
    }
    // Secondary strength: letters and accents count, case does not.
    collator_->setStrength(icu::Collator::SECONDARY);
}

LocalizedTextOrder::~LocalizedTextOrder() = default;

std::string LocalizedTextOrder::sortKey(std::string_view utf8) const {
    const auto text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    if (!collator_) {
        // Without collation data, folded code-point order is the best left.
        std::string folded;
        icu::UnicodeString(text).foldCase().toUTF8String(folded);
        return folded;
    }
    std::vector<uint8_t> key(64);
    int32_t length = collator_->getSortKey(text, key.data(), static_cast<int32_t>(key.size()));
    if (length > static_cast<int32_t>(key.size())) {
        key.resize(static_cast<std::size_t>(length));
        length = collator_->getSortKey(text, key.data(), length);
    }
    // The key ends in a NUL that plain comparison does not need.
    const auto size = length > 0 ? static_cast<std::size_t>(length - 1) : 0;
    return std::string(reinterpret_cast<const char*>(key.data()), size);
}

} // namespace zevra
