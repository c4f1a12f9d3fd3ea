// Reading what the browser sends. Every value comes from outside (events
// carry what a page's script chose), so each field is checked for presence
// and type before use: a missing or mistyped field reads as empty or as the
// fallback, and nothing here throws.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace zun::platform::posix {

using Json = nlohmann::json;

// Deepest nesting of arrays and objects that a received text may have:
// copying and printing a value recurse once per level.
inline constexpr int kMaxJsonDepth = 64;

// Parses a received text; a discarded value when it is not JSON or nests
// deeper than kMaxJsonDepth.
inline Json ParseReceived(const std::string& text) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxJsonDepth) return Json(Json::value_t::discarded);
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return Json::parse(text, nullptr, false);
}

// The field `key` of `object` when `object` is an object that has it.
inline const Json* FieldOf(const Json& object, const char* key) {
    if (!object.is_object()) return nullptr;
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

// A text field; "" when missing or not a text.
inline std::string TextField(const Json& object, const char* key) {
    const Json* field = FieldOf(object, key);
    return field != nullptr && field->is_string() ? field->get<std::string>() : std::string();
}

// An object field; an empty object when missing or not an object.
inline const Json& ObjectField(const Json& object, const char* key) {
    static const Json empty = Json::object();
    const Json* field = FieldOf(object, key);
    return field != nullptr && field->is_object() ? *field : empty;
}

// An array field; an empty array when missing or not an array.
inline const Json& ArrayField(const Json& object, const char* key) {
    static const Json empty = Json::array();
    const Json* field = FieldOf(object, key);
    return field != nullptr && field->is_array() ? *field : empty;
}

// A whole number field in the range of int64_t; nullopt otherwise
// (fractions, texts, numbers too large).
inline std::optional<int64_t> IntegerField(const Json& object, const char* key) {
    const Json* field = FieldOf(object, key);
    if (field == nullptr) return std::nullopt;
    if (field->is_number_integer() && !field->is_number_unsigned()) return field->get<int64_t>();
    if (field->is_number_unsigned() && field->get<uint64_t>() <= static_cast<uint64_t>(INT64_MAX)) {
        return static_cast<int64_t>(field->get<uint64_t>());
    }
    return std::nullopt;
}

// A finite number at `index` of an array; nullopt otherwise.
inline std::optional<double> NumberAt(const Json& array, size_t index) {
    if (!array.is_array() || index >= array.size() || !array[index].is_number()) return std::nullopt;
    const double value = array[index].get<double>();
    if (value != value || value > 1e9 || value < -1e9) return std::nullopt;  // NaN, or off any screen
    return value;
}

}  // namespace zun::platform::posix
