#include "cli/FieldValue.h"

#include <nlohmann/json.hpp>

FieldValue::FieldValue(const nlohmann::ordered_json& value)
    : value_(std::make_shared<const nlohmann::ordered_json>(value)) {}

FieldValue FieldValue::textOrNull(std::string text) {
    return text.empty() ? FieldValue() : FieldValue(std::move(text));
}

FieldValue FieldValue::numberOrNull(std::int64_t number) {
    return number == 0 ? FieldValue() : FieldValue(number);
}

FieldValue FieldValue::flagOrNull(const std::optional<bool>& flag) {
    return flag ? FieldValue(*flag) : FieldValue();
}

FieldValue FieldValue::numbers(const std::vector<std::uint8_t>& codes) {
    return FieldValue(nlohmann::ordered_json(codes));
}

std::string FieldValue::text() const {
    if (const bool* flag = std::get_if<bool>(&value_)) {
        return *flag ? "yes" : "no";
    }
    if (const std::int64_t* number = std::get_if<std::int64_t>(&value_)) {
        return std::to_string(*number);
    }
    if (const std::string* text = std::get_if<std::string>(&value_)) {
        return *text;
    }
    return null() ? "-" : json().dump();
}

nlohmann::ordered_json FieldValue::json() const {
    return std::visit(
        [](const auto& value) -> nlohmann::ordered_json {
            using Value = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Value, std::monostate>) {
                return nullptr;
            } else if constexpr (std::is_same_v<Value,
                                                std::shared_ptr<const nlohmann::ordered_json>>) {
                return *value;
            } else {
                return value;
            }
        },
        value_);
}
