#include "app/document_json.h"

#include <string>

namespace zevra {
namespace {

using Json = nlohmann::json;

// The library's tree builder, refusing to open containers beyond the nesting limit.
class DepthLimitedBuilder {
public:
    explicit DepthLimitedBuilder(Json& result) : builder_(result, false) {}

    bool null() { return builder_.null(); }
    bool boolean(bool value) { return builder_.boolean(value); }
    bool number_integer(Json::number_integer_t value) { return builder_.number_integer(value); }
    bool number_unsigned(Json::number_unsigned_t value) { return builder_.number_unsigned(value); }
    bool number_float(Json::number_float_t value, const Json::string_t& text) {
        return builder_.number_float(value, text);
    }
    bool string(Json::string_t& value) { return builder_.string(value); }
    bool binary(Json::binary_t& value) { return builder_.binary(value); }
    bool start_object(std::size_t elements) { return enter() && builder_.start_object(elements); }
    bool key(Json::string_t& value) { return builder_.key(value); }
    bool end_object() {
        --depth_;
        return builder_.end_object();
    }
    bool start_array(std::size_t elements) { return enter() && builder_.start_array(elements); }
    bool end_array() {
        --depth_;
        return builder_.end_array();
    }
    bool parse_error(std::size_t position, const std::string& token,
                     const nlohmann::detail::exception& error) {
        failed_ = true;
        return builder_.parse_error(position, token, error);
    }

    [[nodiscard]] bool failed() const { return failed_ || builder_.is_errored(); }

private:
    bool enter() {
        if (depth_ >= maximumDocumentNestingDepth) {
            failed_ = true;
            return false;
        }
        ++depth_;
        return true;
    }

    nlohmann::detail::json_sax_dom_parser<Json> builder_;
    std::size_t depth_ = 0;
    bool failed_ = false;
};

} // namespace

std::optional<nlohmann::json> parseDocumentJSON(std::string_view data) {
    Json result;
    DepthLimitedBuilder builder(result);
    try {
        const bool parsed = Json::sax_parse(data.begin(), data.end(), &builder,
                                            nlohmann::detail::input_format_t::json, true, false);
        if (!parsed || builder.failed()) {
            return std::nullopt;
        }
    } catch (const Json::exception&) {
        return std::nullopt;
    }
    return result;
}

} // namespace zevra
