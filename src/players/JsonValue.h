#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace players {

struct JsonMember;

// A parsed JSON value that remembers where it began in the text, so a
// reader can point at the value it rejects.
struct JsonValue {
    enum class Type { Null, Boolean, Number, String, Array, Object };

    Type type = Type::Null;
    std::size_t offset = 0; // byte offset of the value's first character
    bool boolean = false;
    double number = 0.0;
    std::string string;
    std::vector<JsonValue> items;    // Array
    std::vector<JsonMember> members; // Object, in file order

    // The member named `key` of an object, or nullptr.
    const JsonValue* member(std::string_view key) const;
};

struct JsonMember {
    std::string name;
    JsonValue value;
};

inline const JsonValue* JsonValue::member(std::string_view key) const
{
    for (const JsonMember& m : members) {
        if (m.name == key)
            return &m.value;
    }
    return nullptr;
}

} // namespace players
