#pragma once

#include <concepts>
#include <cstdint>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

// The value of one field of an r550ctl record, typed as its JSON object gives it: null, a flag, a
// number, a text, or a value made of others (a list of settings, a swipe's tracks). Its text form
// is what a text column shows: "-" for null, yes or no, the number, the text itself.
class FieldValue {
public:
    FieldValue() = default;
    FieldValue(std::nullptr_t) {}
    FieldValue(bool value) : value_(value) {}
    template <std::integral Number>
    requires(!std::same_as<Number, bool>) FieldValue(Number value)
        : value_(static_cast<std::int64_t>(value)) {}
    FieldValue(std::string value) : value_(std::move(value)) {}
    FieldValue(const char* value) : value_(std::string(value)) {}
    // A value made of others; whoever makes one has the JSON library at hand.
    explicit FieldValue(const nlohmann::ordered_json& value);

    // Null for an empty text, for a number 0, for a flag not known.
    static FieldValue textOrNull(std::string text);
    static FieldValue numberOrNull(std::int64_t number);
    static FieldValue flagOrNull(const std::optional<bool>& flag);
    // Codes as a list of numbers.
    static FieldValue numbers(const std::vector<std::uint8_t>& codes);

    bool null() const { return std::holds_alternative<std::monostate>(value_); }
    std::string text() const;
    nlohmann::ordered_json json() const;

private:
    std::variant<std::monostate, bool, std::int64_t, std::string,
                 std::shared_ptr<const nlohmann::ordered_json>>
        value_;
};

// A record as its JSON object gives it: its keys and their values, in order.
using Record = std::vector<std::pair<std::string, FieldValue>>;
