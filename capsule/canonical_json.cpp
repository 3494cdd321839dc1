#include "capsule/canonical_json.h"

#include "base/json_string.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <string_view>

namespace zevra {
namespace {

// Decimal-point positions (digits before the point) written in fixed notation; others in "e" form.
constexpr int largestFixedPointPosition = 16;
constexpr int smallestFixedPointPosition = -3;
constexpr int maximumNestingDepth = 512;

template <typename Integer> void appendInteger(std::string& out, Integer value) {
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out.append(buffer.data(), result.ptr);
}

bool appendFloat(std::string& out, double value) {
    if (!std::isfinite(value)) {
        return false;
    }
    // The shortest round-trip digits, as "d.ddde±XX".
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::scientific);
    std::string_view text(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
    if (text.starts_with('-')) {
        out.push_back('-');
        text.remove_prefix(1);
    }
    const std::size_t exponentAt = text.find('e');
    const std::string_view mantissa = text.substr(0, exponentAt);
    std::string digits;
    std::copy_if(mantissa.begin(), mantissa.end(), std::back_inserter(digits),
                 [](char c) { return c != '.'; });
    const int exponent = std::atoi(std::string(text.substr(exponentAt + 1)).c_str());
    const int pointPosition = exponent + 1; // digits before the decimal point
    const int digitCount = static_cast<int>(digits.size());
    if (pointPosition < smallestFixedPointPosition || pointPosition > largestFixedPointPosition) {
        out.push_back(digits.front());
        if (digitCount > 1) {
            out.push_back('.');
            out.append(digits, 1);
        }
        out += exponent < 0 ? "e-" : "e+";
        const int magnitude = std::abs(exponent);
        if (magnitude < 10) {
            out.push_back('0');
        }
        appendInteger(out, magnitude);
        return true;
    }
    if (pointPosition <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-pointPosition), '0');
        out += digits;
        return true;
    }
    if (pointPosition >= digitCount) {
        out += digits;
        out.append(static_cast<std::size_t>(pointPosition - digitCount), '0');
        out += ".0";
        return true;
    }
    out.append(digits, 0, static_cast<std::size_t>(pointPosition));
    out.push_back('.');
    out.append(digits, static_cast<std::size_t>(pointPosition));
    return true;
}

bool appendValue(std::string& out, const nlohmann::json& value, int depth);

} // namespace

bool appendCanonicalJSON(std::string& out, const nlohmann::json& value) {
    return appendValue(out, value, 0);
}

namespace {

bool appendValue(std::string& out, const nlohmann::json& value, int depth) {
    // The writer recurses; a hostile document must not exhaust the stack.
    if (depth > maximumNestingDepth) {
        return false;
    }
    using Type = nlohmann::json::value_t;
    switch (value.type()) {
    case Type::null:
        out += "null";
        return true;
    case Type::boolean:
        out += value.get<bool>() ? "true" : "false";
        return true;
    case Type::number_integer:
        appendInteger(out, value.get<std::int64_t>());
        return true;
    case Type::number_unsigned:
        appendInteger(out, value.get<std::uint64_t>());
        return true;
    case Type::number_float:
        return appendFloat(out, value.get<double>());
    case Type::string:
        appendJSONString(out, value.get_ref<const std::string&>());
        return true;
    case Type::array: {
        out.push_back('[');
        bool first = true;
        for (const auto& element : value) {
            if (!first) {
                out.push_back(',');
            }
            first = false;
            if (!appendValue(out, element, depth + 1)) {
                return false;
            }
        }
        out.push_back(']');
        return true;
    }
    case Type::object: {
        // Objects keep their members in a std::map, ordered by the keys' bytes.
        out.push_back('{');
        bool first = true;
        for (const auto& [key, member] : value.items()) {
            if (!first) {
                out.push_back(',');
            }
            first = false;
            appendJSONString(out, key);
            out.push_back(':');
            if (!appendValue(out, member, depth + 1)) {
                return false;
            }
        }
        out.push_back('}');
        return true;
    }
    case Type::binary:
    case Type::discarded:
        return false;
    }
    return false;
}

} // namespace

std::optional<std::string> canonicalJSON(const nlohmann::json& value) {
    std::string out;
    if (!appendCanonicalJSON(out, value)) {
        return std::nullopt;
    }
    return out;
}

std::string textualForm(const nlohmann::json* value) {
    if (value == nullptr) {
        return {};
    }
    if (value->is_string()) {
        return value->get_ref<const std::string&>();
    }
    return canonicalJSON(*value).value_or(std::string());
}

} // namespace zevra
