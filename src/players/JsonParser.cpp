#include "players/JsonParser.h"

#include <charconv>
#include <cstdio>
#include <system_error>

namespace players {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

void appendUtf8(std::string& out, unsigned cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::variant<JsonValue, JsonError> JsonParser::parse(std::string_view text)
{
    JsonParser parser(text);
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        parser.m_pos = 3;
    JsonValue value;
    parser.skipWhitespace();
    if (!parser.parseValue(value, 0))
        return parser.m_error;
    parser.skipWhitespace();
    if (!parser.atEnd()) {
        parser.fail(parser.m_pos, "unexpected " + parser.describeHere() + " after the end of the document");
        return parser.m_error;
    }
    return value;
}

TextPosition JsonParser::positionOf(std::string_view text, std::size_t offset)
{
    TextPosition pos;
    if (offset > text.size())
        offset = text.size();
    // The byte-order mark takes no column.
    const std::size_t first = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    for (std::size_t i = first; i < offset; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++pos.line;
            pos.column = 1;
        } else if ((c & 0xC0) != 0x80) {
            ++pos.column; // a character's continuation bytes take no column
        }
    }
    return pos;
}

void JsonParser::skipWhitespace()
{
    while (!atEnd()) {
        const char c = m_text[m_pos];
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            break;
        ++m_pos;
    }
}

bool JsonParser::fail(std::size_t offset, std::string message)
{
    m_error.offset = offset;
    m_error.message = std::move(message);
    return false;
}

std::string JsonParser::describeHere() const
{
    if (atEnd())
        return "end of file";
    const auto c = static_cast<unsigned char>(m_text[m_pos]);
    if (c >= 0x21 && c < 0x7F)
        return std::string("'") + char(c) + "'";
    char buf[16];
    std::snprintf(buf, sizeof buf, "byte 0x%02X", c);
    return buf;
}

bool JsonParser::parseValue(JsonValue& out, int depth)
{
    if (depth > kMaxDepth)
        return fail(m_pos, "nesting deeper than " + std::to_string(kMaxDepth) + " levels");
    out.offset = m_pos;
    if (atEnd())
        return fail(m_pos, "expected a value but found end of file");
    switch (m_text[m_pos]) {
    case '{': return parseObject(out, depth);
    case '[': return parseArray(out, depth);
    case '"':
        out.type = JsonValue::Type::String;
        return parseString(out.string);
    case 't': return parseLiteral("true", out);
    case 'f': return parseLiteral("false", out);
    case 'n': return parseLiteral("null", out);
    default:
        if (m_text[m_pos] == '-' || isDigit(m_text[m_pos]))
            return parseNumber(out);
        return fail(m_pos, "expected a value but found " + describeHere());
    }
}

bool JsonParser::parseLiteral(std::string_view word, JsonValue& out)
{
    if (m_text.substr(m_pos, word.size()) != word)
        return fail(m_pos, "expected a value but found " + describeHere());
    m_pos += word.size();
    if (word == "null") {
        out.type = JsonValue::Type::Null;
    } else {
        out.type = JsonValue::Type::Boolean;
        out.boolean = word == "true";
    }
    return true;
}

bool JsonParser::parseObject(JsonValue& out, int depth)
{
    out.type = JsonValue::Type::Object;
    ++m_pos; // '{'
    skipWhitespace();
    if (!atEnd() && m_text[m_pos] == '}') {
        ++m_pos;
        return true;
    }
    for (;;) {
        skipWhitespace();
        if (atEnd() || m_text[m_pos] != '"')
            return fail(m_pos, "expected a key in double quotes but found " + describeHere());
        const std::size_t keyOffset = m_pos;
        std::string key;
        if (!parseString(key))
            return false;
        if (out.member(key))
            return fail(keyOffset, "duplicate key \"" + key + "\"");
        skipWhitespace();
        if (atEnd() || m_text[m_pos] != ':')
            return fail(m_pos, "expected ':' after the key but found " + describeHere());
        ++m_pos;
        skipWhitespace();
        JsonValue value;
        if (!parseValue(value, depth + 1))
            return false;
        out.members.push_back(JsonMember{std::move(key), std::move(value)});
        skipWhitespace();
        if (!atEnd() && m_text[m_pos] == ',') {
            ++m_pos;
            continue;
        }
        if (!atEnd() && m_text[m_pos] == '}') {
            ++m_pos;
            return true;
        }
        return fail(m_pos, "expected ',' or '}' but found " + describeHere());
    }
}

bool JsonParser::parseArray(JsonValue& out, int depth)
{
    out.type = JsonValue::Type::Array;
    ++m_pos; // '['
    skipWhitespace();
    if (!atEnd() && m_text[m_pos] == ']') {
        ++m_pos;
        return true;
    }
    for (;;) {
        skipWhitespace();
        JsonValue item;
        if (!parseValue(item, depth + 1))
            return false;
        out.items.push_back(std::move(item));
        skipWhitespace();
        if (!atEnd() && m_text[m_pos] == ',') {
            ++m_pos;
            continue;
        }
        if (!atEnd() && m_text[m_pos] == ']') {
            ++m_pos;
            return true;
        }
        return fail(m_pos, "expected ',' or ']' but found " + describeHere());
    }
}

bool JsonParser::parseHex4(unsigned& out)
{
    out = 0;
    for (int i = 0; i < 4; ++i, ++m_pos) {
        if (atEnd())
            return fail(m_pos, "unterminated \\u escape");
        const char c = m_text[m_pos];
        unsigned digit;
        if (isDigit(c))
            digit = unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = unsigned(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = unsigned(c - 'A' + 10);
        else
            return fail(m_pos, "expected a hexadecimal digit in a \\u escape but found " + describeHere());
        out = out * 16 + digit;
    }
    return true;
}

bool JsonParser::copyUtf8Sequence(std::string& out)
{
    const auto lead = static_cast<unsigned char>(m_text[m_pos]);
    int length = 0;
    unsigned char lo = 0x80, hi = 0xBF; // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            lo = 0xA0; // no overlong forms
        if (lead == 0xED)
            hi = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            lo = 0x90;
        if (lead == 0xF4)
            hi = 0x8F; // nothing above U+10FFFF
    } else {
        return fail(m_pos, "invalid UTF-8 (" + describeHere() + ")");
    }
    if (m_pos + std::size_t(length) > m_text.size())
        return fail(m_pos, "invalid UTF-8 (truncated sequence)");
    for (int i = 1; i < length; ++i) {
        const auto c = static_cast<unsigned char>(m_text[m_pos + std::size_t(i)]);
        const bool ok = i == 1 ? (c >= lo && c <= hi) : (c >= 0x80 && c <= 0xBF);
        if (!ok)
            return fail(m_pos, "invalid UTF-8 (" + describeHere() + ")");
    }
    out.append(m_text.substr(m_pos, std::size_t(length)));
    m_pos += std::size_t(length);
    return true;
}

bool JsonParser::parseString(std::string& out)
{
    const std::size_t start = m_pos;
    ++m_pos; // '"'
    for (;;) {
        if (atEnd())
            return fail(start, "unterminated string");
        const auto c = static_cast<unsigned char>(m_text[m_pos]);
        if (c == '"') {
            ++m_pos;
            return true;
        }
        if (c < 0x20)
            return fail(m_pos, c == '\n' ? "unterminated string (line break inside it)" : "control character inside a string");
        if (c >= 0x80) {
            if (!copyUtf8Sequence(out))
                return false;
            continue;
        }
        if (c != '\\') {
            out += char(c);
            ++m_pos;
            continue;
        }
        const std::size_t escape = m_pos++;
        if (atEnd())
            return fail(start, "unterminated string");
        switch (m_text[m_pos++]) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
            unsigned cp;
            if (!parseHex4(cp))
                return false;
            if (cp >= 0xDC00 && cp <= 0xDFFF)
                return fail(escape, "unpaired low surrogate in a \\u escape");
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                unsigned low;
                if (m_text.substr(m_pos, 2) != "\\u")
                    return fail(escape, "unpaired high surrogate in a \\u escape");
                m_pos += 2;
                if (!parseHex4(low))
                    return false;
                if (low < 0xDC00 || low > 0xDFFF)
                    return fail(escape, "unpaired high surrogate in a \\u escape");
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            }
            appendUtf8(out, cp);
            break;
        }
        default:
            return fail(escape, "invalid escape sequence in a string");
        }
    }
}

bool JsonParser::parseNumber(JsonValue& out)
{
    const std::size_t start = m_pos;
    if (m_text[m_pos] == '-')
        ++m_pos;
    if (atEnd() || !isDigit(m_text[m_pos]))
        return fail(start, "invalid number");
    if (m_text[m_pos] == '0') {
        ++m_pos;
        if (!atEnd() && isDigit(m_text[m_pos]))
            return fail(start, "invalid number (leading zero)");
    } else {
        while (!atEnd() && isDigit(m_text[m_pos]))
            ++m_pos;
    }
    if (!atEnd() && m_text[m_pos] == '.') {
        ++m_pos;
        if (atEnd() || !isDigit(m_text[m_pos]))
            return fail(start, "invalid number (no digit after the decimal point)");
        while (!atEnd() && isDigit(m_text[m_pos]))
            ++m_pos;
    }
    if (!atEnd() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
        ++m_pos;
        if (!atEnd() && (m_text[m_pos] == '+' || m_text[m_pos] == '-'))
            ++m_pos;
        if (atEnd() || !isDigit(m_text[m_pos]))
            return fail(start, "invalid number (no digit in the exponent)");
        while (!atEnd() && isDigit(m_text[m_pos]))
            ++m_pos;
    }
    // from_chars, unlike strtod, ignores the locale Qt installs.
    const char* first = m_text.data() + start;
    const char* last = m_text.data() + m_pos;
    const auto [ptr, ec] = std::from_chars(first, last, out.number);
    if (ec == std::errc::result_out_of_range)
        return fail(start, "number out of range");
    if (ec != std::errc() || ptr != last)
        return fail(start, "invalid number");
    out.type = JsonValue::Type::Number;
    return true;
}

} // namespace players
