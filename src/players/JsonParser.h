#pragma once

#include "players/JsonValue.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>

namespace players {

// Where and why a text is not JSON (or not the JSON a reader wants).
struct JsonError {
    std::size_t offset = 0;
    std::string message;
};

struct TextPosition {
    int line = 1;   // 1-based
    int column = 1; // 1-based, in characters (UTF-8 code points)
};

// A strict JSON (RFC 8259) parser: one value, optional UTF-8 byte-order
// mark, no comments, no trailing commas, strings of valid UTF-8, no
// duplicate keys in an object, nesting limited to `kMaxDepth`.
class JsonParser {
public:
    static constexpr int kMaxDepth = 64;

    static std::variant<JsonValue, JsonError> parse(std::string_view text);

    // The line and column of a byte offset in `text`.
    static TextPosition positionOf(std::string_view text, std::size_t offset);

private:
    explicit JsonParser(std::string_view text) : m_text(text) {}

    bool parseValue(JsonValue& out, int depth);
    bool parseObject(JsonValue& out, int depth);
    bool parseArray(JsonValue& out, int depth);
    bool parseString(std::string& out);
    bool parseNumber(JsonValue& out);
    bool parseLiteral(std::string_view word, JsonValue& out);
    bool parseHex4(unsigned& out);
    bool copyUtf8Sequence(std::string& out);
    void skipWhitespace();
    bool fail(std::size_t offset, std::string message);
    bool atEnd() const { return m_pos >= m_text.size(); }
    std::string describeHere() const;

    std::string_view m_text;
    std::size_t m_pos = 0;
    JsonError m_error;
};

} // namespace players
