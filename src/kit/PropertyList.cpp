#include "kit/PropertyList.h"

#include "kit/AsciiText.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace kit {

namespace {

// Deep enough for any real settings file, shallow enough that the recursive
// reader never comes near the end of the stack.
constexpr int kMaxDepth = 256;

constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isNameChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'
        || c == ':' || c == '-' || c == '.';
}

// Decodes one UTF-8 sequence at `s[i]`; returns its length, or 0 when the
// bytes there are not well-formed UTF-8 (overlong forms and surrogates
// included).
std::size_t decodeUtf8(std::string_view s, std::size_t i, char32_t& out)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        out = b0;
        return 1;
    }
    std::size_t len;
    char32_t c;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, c = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    out = c;
    return len;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}


// Thrown only inside the parser and caught at its entry point, so the
// recursive descent can bail out from any depth.
struct ParseFailure {
    std::string message;
    std::size_t offset;
};

struct Tag {
    std::string name;
    bool closing = false;
    bool empty = false; // <name/>
    std::size_t offset = 0;
};

// A small, non-validating XML reader for exactly what a property list
// holds. It never loads or expands anything declared in a DTD: only the five
// predefined entities and character references are understood.
class Parser {
public:
    explicit Parser(std::string_view in) : m_in(in) {}

    PlistValue parseDocument()
    {
        if (m_in.substr(0, 3) == "\xEF\xBB\xBF")
            m_pos = 3;
        else if (m_in.size() >= 2 && (m_in.substr(0, 2) == "\xFE\xFF" || m_in.substr(0, 2) == "\xFF\xFE"))
            fail("UTF-16 property lists are not supported");
        if (m_in.substr(m_pos, 5) == "<?xml" && m_pos + 5 < m_in.size() && isSpace(m_in[m_pos + 5]))
            parseXmlDeclaration();
        skipMisc(true);
        if (atEnd())
            fail("no property list in the document");
        Tag root = readTag();
        if (root.closing)
            fail("unexpected </" + root.name + ">", root.offset);
        PlistValue value;
        if (root.name == "plist") {
            if (root.empty)
                fail("empty <plist>", root.offset);
            skipMisc(false);
            Tag inner = readTag();
            if (inner.closing)
                fail("empty <plist>", inner.offset);
            value = parseValue(inner, 1);
            skipMisc(false);
            expectEnd("plist");
        } else {
            value = parseValue(root, 0);
        }
        skipMisc(false);
        if (!atEnd())
            fail("content after the end of the property list");
        return value;
    }

    [[noreturn]] void fail(std::string message) { fail(std::move(message), m_pos); }
    [[noreturn]] void fail(std::string message, std::size_t offset) { throw ParseFailure{std::move(message), offset}; }

private:
    bool atEnd() const { return m_pos >= m_in.size(); }
    bool lookingAt(std::string_view s) const { return m_in.substr(m_pos, s.size()) == s; }

    void skipSpace()
    {
        while (!atEnd() && isSpace(m_in[m_pos]))
            ++m_pos;
    }

    // Moves past `terminator`, failing with `what` when it never comes.
    void skipPast(std::string_view terminator, const char* what)
    {
        const std::size_t found = m_in.find(terminator, m_pos);
        if (found == std::string_view::npos)
            fail(std::string("unterminated ") + what);
        m_pos = found + terminator.size();
    }

    void parseXmlDeclaration()
    {
        const std::size_t start = m_pos;
        skipPast("?>", "XML declaration");
        const std::string_view decl = m_in.substr(start, m_pos - start);
        const std::size_t enc = decl.find("encoding");
        if (enc == std::string_view::npos)
            return;
        std::size_t q = decl.find_first_of("\"'", enc);
        if (q == std::string_view::npos)
            fail("malformed encoding in the XML declaration", start + enc);
        const std::size_t end = decl.find(decl[q], q + 1);
        if (end == std::string_view::npos)
            fail("malformed encoding in the XML declaration", start + enc);
        const std::string_view name = decl.substr(q + 1, end - q - 1);
        if (!equalsIgnoringCase(name, "UTF-8") && !equalsIgnoringCase(name, "UTF8")
            && !equalsIgnoringCase(name, "US-ASCII"))
            fail("unsupported encoding \"" + std::string(name) + "\"", start + enc);
    }

    // Whitespace, comments and processing instructions; in the prolog also
    // the document type declaration, which is skipped unread.
    void skipMisc(bool prolog)
    {
        for (;;) {
            skipSpace();
            if (lookingAt("<!--")) {
                m_pos += 4;
                skipPast("-->", "comment");
            } else if (lookingAt("<?")) {
                m_pos += 2;
                skipPast("?>", "processing instruction");
            } else if (prolog && lookingAt("<!DOCTYPE")) {
                skipDoctype();
            } else {
                return;
            }
        }
    }

    void skipDoctype()
    {
        const std::size_t start = m_pos;
        m_pos += 9;
        char quote = 0;
        bool subset = false;
        while (!atEnd()) {
            const char c = m_in[m_pos];
            if (quote) {
                if (c == quote)
                    quote = 0;
                ++m_pos;
            } else if (subset && lookingAt("<!--")) {
                m_pos += 4;
                skipPast("-->", "comment");
            } else if (c == '"' || c == '\'') {
                quote = c;
                ++m_pos;
            } else if (c == '[' && !subset) {
                subset = true;
                ++m_pos;
            } else if (c == ']' && subset) {
                subset = false;
                ++m_pos;
            } else if (c == '>' && !subset) {
                ++m_pos;
                return;
            } else {
                ++m_pos;
            }
        }
        fail("unterminated document type declaration", start);
    }

    std::string readName()
    {
        const std::size_t start = m_pos;
        while (!atEnd() && isNameChar(m_in[m_pos]))
            ++m_pos;
        if (m_pos == start)
            fail("expected a name");
        return std::string(m_in.substr(start, m_pos - start));
    }

    // Reads a start or end tag at the current position. Attributes are
    // checked for form and then ignored: none changes a property list.
    Tag readTag()
    {
        Tag tag;
        tag.offset = m_pos;
        if (atEnd() || m_in[m_pos] != '<')
            fail(atEnd() ? "unexpected end of the document" : "expected an element");
        ++m_pos;
        if (lookingAt("!"))
            fail("unexpected markup");
        if (lookingAt("/")) {
            tag.closing = true;
            ++m_pos;
        }
        tag.name = readName();
        for (;;) {
            const std::size_t before = m_pos;
            skipSpace();
            if (atEnd())
                fail("unterminated tag <" + tag.name + ">", tag.offset);
            const char c = m_in[m_pos];
            if (c == '>') {
                ++m_pos;
                return tag;
            }
            if (c == '/' && !tag.closing) {
                ++m_pos;
                if (!lookingAt(">"))
                    fail("expected '>'");
                ++m_pos;
                tag.empty = true;
                return tag;
            }
            if (tag.closing || before == m_pos)
                fail("malformed tag <" + tag.name + ">");
            readName();
            skipSpace();
            if (!lookingAt("="))
                fail("expected '=' in an attribute");
            ++m_pos;
            skipSpace();
            if (atEnd() || (m_in[m_pos] != '"' && m_in[m_pos] != '\''))
                fail("expected a quoted attribute value");
            const char quote = m_in[m_pos++];
            const std::size_t end = m_in.find(quote, m_pos);
            if (end == std::string_view::npos)
                fail("unterminated attribute value");
            if (m_in.substr(m_pos, end - m_pos).find('<') != std::string_view::npos)
                fail("'<' in an attribute value");
            m_pos = end + 1;
        }
    }

    void expectEnd(const std::string& name)
    {
        const Tag tag = readTag();
        if (!tag.closing || tag.name != name)
            fail("expected </" + name + ">", tag.offset);
    }

    void appendReference(std::string& out)
    {
        const std::size_t start = m_pos;
        const std::size_t semi = m_in.find(';', m_pos);
        if (semi == std::string_view::npos || semi - m_pos > 12)
            fail("malformed reference");
        const std::string_view ref = m_in.substr(m_pos + 1, semi - m_pos - 1);
        m_pos = semi + 1;
        if (ref == "amp")
            out += '&';
        else if (ref == "lt")
            out += '<';
        else if (ref == "gt")
            out += '>';
        else if (ref == "quot")
            out += '"';
        else if (ref == "apos")
            out += '\'';
        else if (ref.size() >= 2 && ref[0] == '#') {
            const bool hex = ref[1] == 'x';
            const std::string_view digits = ref.substr(hex ? 2 : 1);
            std::uint32_t code = 0;
            const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
            if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size() || !isXmlChar(code))
                fail("invalid character reference &" + std::string(ref) + ";", start);
            appendUtf8(out, code);
        } else {
            fail("unknown entity &" + std::string(ref) + ";", start);
        }
    }

    // Character data up to the end tag `name`, with references resolved,
    // CDATA sections taken literally and comments dropped. Line ends are
    // normalised to "\n" as XML requires.
    std::string readText(const std::string& name)
    {
        std::string out;
        for (;;) {
            if (atEnd())
                fail("unterminated <" + name + ">");
            const char c = m_in[m_pos];
            if (c == '<') {
                if (lookingAt("<![CDATA[")) {
                    m_pos += 9;
                    const std::size_t end = m_in.find("]]>", m_pos);
                    if (end == std::string_view::npos)
                        fail("unterminated CDATA section");
                    appendChecked(out, m_pos, end);
                    m_pos = end + 3;
                } else if (lookingAt("<!--")) {
                    m_pos += 4;
                    skipPast("-->", "comment");
                } else if (lookingAt("<?")) {
                    m_pos += 2;
                    skipPast("?>", "processing instruction");
                } else {
                    expectEnd(name);
                    return out;
                }
            } else if (c == '&') {
                appendReference(out);
            } else {
                std::size_t end = m_pos;
                while (end < m_in.size() && m_in[end] != '<' && m_in[end] != '&')
                    ++end;
                if (m_in.substr(m_pos, end - m_pos).find("]]>") != std::string_view::npos)
                    fail("']]>' in text");
                appendChecked(out, m_pos, end);
                m_pos = end;
            }
        }
    }

    // Appends m_in[from, to) after checking that it is well-formed UTF-8 of
    // characters XML allows.
    void appendChecked(std::string& out, std::size_t from, std::size_t to)
    {
        std::size_t i = from;
        while (i < to) {
            const auto b = static_cast<unsigned char>(m_in[i]);
            if (b >= 0x20 && b < 0x80) {
                out += char(b);
                ++i;
                continue;
            }
            char32_t c = 0;
            const std::size_t len = decodeUtf8(m_in.substr(0, to), i, c);
            if (len == 0)
                fail("invalid UTF-8", i);
            if (!isXmlChar(c))
                fail("character not allowed in XML", i);
            if (c == '\r') {
                out += '\n';
                if (i + 1 < to && m_in[i + 1] == '\n')
                    ++i;
            } else {
                out.append(m_in.substr(i, len));
            }
            i += len;
        }
    }

    std::string readLeafText(const Tag& tag)
    {
        return tag.empty ? std::string() : readText(tag.name);
    }

    PlistValue parseValue(const Tag& tag, int depth)
    {
        if (tag.closing)
            fail("unexpected </" + tag.name + ">", tag.offset);
        if (depth > kMaxDepth)
            fail("nesting deeper than " + std::to_string(kMaxDepth) + " levels", tag.offset);
        const std::string& name = tag.name;
        if (name == "dict")
            return parseDict(tag, depth);
        if (name == "array")
            return parseArray(tag, depth);
        if (name == "string")
            return readLeafText(tag);
        if (name == "integer")
            return parseInteger(readLeafText(tag), tag.offset);
        if (name == "real")
            return parseReal(readLeafText(tag), tag.offset);
        if (name == "true" || name == "false") {
            if (!trim(readLeafText(tag)).empty())
                fail("<" + name + "> must be empty", tag.offset);
            return name == "true";
        }
        if (name == "data")
            return parseData(readLeafText(tag), tag.offset);
        if (name == "date") {
            const std::string text(trim(readLeafText(tag)));
            if (text.empty())
                fail("empty <date>", tag.offset);
            return PlistDate{text};
        }
        if (name == "key")
            fail("<key> outside a dictionary", tag.offset);
        fail("unknown element <" + name + ">", tag.offset);
    }

    PlistValue parseDict(const Tag& tag, int depth)
    {
        PlistDictionary dict;
        if (tag.empty)
            return dict;
        for (;;) {
            skipMisc(false);
            Tag keyTag = readTag();
            if (keyTag.closing) {
                if (keyTag.name != "dict")
                    fail("expected </dict>", keyTag.offset);
                return dict;
            }
            if (keyTag.name != "key")
                fail("expected <key> in a dictionary, found <" + keyTag.name + ">", keyTag.offset);
            std::string key = readLeafText(keyTag);
            skipMisc(false);
            Tag valueTag = readTag();
            if (valueTag.closing)
                fail("key \"" + key + "\" has no value", valueTag.offset);
            // A repeated key keeps its last value, as a dictionary being
            // filled in document order would.
            dict.insert_or_assign(std::move(key), parseValue(valueTag, depth + 1));
        }
    }

    PlistValue parseArray(const Tag& tag, int depth)
    {
        PlistArray array;
        if (tag.empty)
            return array;
        for (;;) {
            skipMisc(false);
            Tag item = readTag();
            if (item.closing) {
                if (item.name != "array")
                    fail("expected </array>", item.offset);
                return array;
            }
            array.push_back(parseValue(item, depth + 1));
        }
    }

    PlistValue parseInteger(const std::string& raw, std::size_t offset)
    {
        std::string_view text = trim(raw);
        bool negative = false;
        if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
            negative = text[0] == '-';
            text.remove_prefix(1);
        }
        int base = 10;
        if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            base = 16;
            text.remove_prefix(2);
        }
        std::uint64_t magnitude = 0;
        const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
        if (text.empty() || ec == std::errc::invalid_argument || ptr != text.data() + text.size())
            fail("malformed <integer> \"" + raw + "\"", offset);
        const std::uint64_t limit = negative ? std::uint64_t(std::numeric_limits<std::int64_t>::max()) + 1
                                             : std::uint64_t(std::numeric_limits<std::int64_t>::max());
        if (ec == std::errc::result_out_of_range || magnitude > limit)
            fail("<integer> out of range \"" + raw + "\"", offset);
        if (negative)
            return static_cast<std::int64_t>(0 - magnitude);
        return static_cast<std::int64_t>(magnitude);
    }

    PlistValue parseReal(const std::string& raw, std::size_t offset)
    {
        const std::string_view text = trim(raw);
        std::string_view body = text;
        const bool negative = !body.empty() && body[0] == '-';
        if (!body.empty() && (body[0] == '-' || body[0] == '+'))
            body.remove_prefix(1);
        if (equalsIgnoringCase(body, "nan"))
            return std::numeric_limits<double>::quiet_NaN();
        if (equalsIgnoringCase(body, "inf") || equalsIgnoringCase(body, "infinity"))
            return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        std::size_t used = 0;
        const double value = plist::readDecimal(text, used);
        if (text.empty() || used != text.size())
            fail("malformed <real> \"" + raw + "\"", offset);
        return value;
    }

    PlistValue parseData(const std::string& text, std::size_t offset)
    {
        PlistData data;
        std::uint32_t acc = 0;
        int bits = 0;
        bool padding = false;
        for (const char c : text) {
            if (isSpace(c))
                continue;
            if (c == '=') {
                padding = true;
                continue;
            }
            const int v = base64Value(c);
            if (v < 0 || padding)
                fail("malformed base64 in <data>", offset);
            acc = (acc << 6) | std::uint32_t(v);
            bits += 6;
            if (bits >= 8) {
                bits -= 8;
                data.bytes.push_back(static_cast<std::uint8_t>((acc >> bits) & 0xFF));
            }
        }
        return data;
    }

    std::string_view m_in;
    std::size_t m_pos = 0;
};

// Line and column (both from 1, the column in characters) of a byte offset.
void locate(std::string_view in, std::size_t offset, int& line, int& column)
{
    offset = std::min(offset, in.size());
    line = 1;
    column = 1;
    for (std::size_t i = 0; i < offset; ++i) {
        const char c = in[i];
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++column;
        }
    }
}

// Escapes text for element content. What XML 1.0 cannot carry at all
// (control characters, broken UTF-8) becomes U+FFFD, so a written file is
// always one the reader accepts; a carriage return is kept as a reference,
// which the reader's line-end handling would otherwise turn into "\n".
void appendEscaped(std::string& out, std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const char b = s[i];
        switch (b) {
        case '&': out += "&amp;"; ++i; continue;
        case '<': out += "&lt;"; ++i; continue;
        case '>': out += "&gt;"; ++i; continue;
        case '\r': out += "&#13;"; ++i; continue;
        default: break;
        }
        if (static_cast<unsigned char>(b) >= 0x20 && static_cast<unsigned char>(b) < 0x80) {
            out += b;
            ++i;
            continue;
        }
        char32_t c = 0;
        const std::size_t len = decodeUtf8(s, i, c);
        if (len == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            if (isXmlChar(c))
                out.append(s.substr(i, len));
            else
                out += "\xEF\xBF\xBD";
            i += len;
        }
    }
}

std::string formatReal(double d)
{
    if (std::isnan(d))
        return "nan";
    if (std::isinf(d))
        return d > 0 ? "+infinity" : "-infinity";
    char buffer[64];
    // Shortest text that reads back as the same double.
    const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, d);
    return ec == std::errc() ? std::string(buffer, ptr) : std::string("0");
}

void appendBase64(std::string& out, const std::vector<std::uint8_t>& bytes, int depth)
{
    constexpr std::size_t kLine = 68;
    std::string encoded;
    encoded.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::uint32_t n = (std::uint32_t(bytes[i]) << 16)
            | (i + 1 < bytes.size() ? std::uint32_t(bytes[i + 1]) << 8 : 0)
            | (i + 2 < bytes.size() ? std::uint32_t(bytes[i + 2]) : 0);
        encoded += kBase64Alphabet[(n >> 18) & 63];
        encoded += kBase64Alphabet[(n >> 12) & 63];
        encoded += i + 1 < bytes.size() ? kBase64Alphabet[(n >> 6) & 63] : '=';
        encoded += i + 2 < bytes.size() ? kBase64Alphabet[n & 63] : '=';
    }
    for (std::size_t i = 0; i < encoded.size(); i += kLine) {
        out.append(std::size_t(depth), '\t');
        out.append(encoded, i, kLine);
        out += '\n';
    }
}

void serializeValue(std::string& out, const PlistValue& value, int depth);

void serializeLeaf(std::string& out, const char* name, std::string_view text, int depth)
{
    out.append(std::size_t(depth), '\t');
    out += '<';
    out += name;
    out += '>';
    appendEscaped(out, text);
    out += "</";
    out += name;
    out += ">\n";
}

void serializeValue(std::string& out, const PlistValue& value, int depth)
{
    const auto indent = [&](int d) { out.append(std::size_t(d), '\t'); };
    const PlistValue::Variant& v = value.variant();
    if (const auto* s = std::get_if<std::string>(&v)) {
        serializeLeaf(out, "string", *s, depth);
    } else if (const auto* i = std::get_if<std::int64_t>(&v)) {
        serializeLeaf(out, "integer", std::to_string(*i), depth);
    } else if (const auto* d = std::get_if<double>(&v)) {
        serializeLeaf(out, "real", formatReal(*d), depth);
    } else if (const auto* b = std::get_if<bool>(&v)) {
        indent(depth);
        out += *b ? "<true/>\n" : "<false/>\n";
    } else if (const auto* array = std::get_if<PlistArray>(&v)) {
        indent(depth);
        if (array->empty()) {
            out += "<array/>\n";
            return;
        }
        out += "<array>\n";
        for (const PlistValue& item : *array)
            serializeValue(out, item, depth + 1);
        indent(depth);
        out += "</array>\n";
    } else if (const auto* dict = std::get_if<PlistDictionary>(&v)) {
        indent(depth);
        if (dict->empty()) {
            out += "<dict/>\n";
            return;
        }
        out += "<dict>\n";
        for (const auto& [key, item] : *dict) {
            serializeLeaf(out, "key", key, depth + 1);
            serializeValue(out, item, depth + 1);
        }
        indent(depth);
        out += "</dict>\n";
    } else if (const auto* data = std::get_if<PlistData>(&v)) {
        indent(depth);
        out += "<data>\n";
        appendBase64(out, data->bytes, depth);
        indent(depth);
        out += "</data>\n";
    } else if (const auto* date = std::get_if<PlistDate>(&v)) {
        serializeLeaf(out, "date", date->iso8601, depth);
    }
}

std::string errnoText(int error)
{
    return std::strerror(error);
}

bool writeAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

std::string directoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Whether a decimal numeral (no sign) too far out of range for a double
// stands for a tiny number rather than a huge one.
bool isBelowOne(std::string_view numeral)
{
    const std::size_t e = numeral.find_first_of("eE");
    const std::string_view mantissa = numeral.substr(0, e);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return true;
    // Power of ten of the leading significant digit.
    long long power = first < point ? static_cast<long long>(point - first) - 1
                                    : -static_cast<long long>(first - point);
    if (e != std::string_view::npos) {
        std::string_view digits = numeral.substr(e + 1);
        const bool negative = !digits.empty() && digits[0] == '-';
        if (!digits.empty() && (digits[0] == '-' || digits[0] == '+'))
            digits.remove_prefix(1);
        long long exponent = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9')
                break;
            exponent = std::min(exponent * 10 + (c - '0'), 1'000'000'000'000LL);
        }
        power += negative ? -exponent : exponent;
    }
    return power < 0;
}

} // namespace

namespace plist {

double readDecimal(std::string_view text, std::size_t& used)
{
    used = 0;
    std::size_t start = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        start = 1;
    const auto isDigit = [&](std::size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
    // Only digits may start the numeral: from_chars would also take "inf".
    if (!isDigit(start) && !(start < text.size() && text[start] == '.' && isDigit(start + 1)))
        return 0.0;
    double value = 0.0;
    const char* begin = text.data() + start;
    const auto [ptr, ec] = std::from_chars(begin, text.data() + text.size(), value, std::chars_format::general);
    if (ec != std::errc() && ec != std::errc::result_out_of_range)
        return 0.0;
    used = static_cast<std::size_t>(ptr - text.data());
    if (ec == std::errc::result_out_of_range)
        value = isBelowOne(std::string_view(begin, ptr)) ? 0.0 : std::numeric_limits<double>::infinity();
    return negative ? -value : value;
}

std::variant<PlistValue, PlistError> parse(const std::string& bytes)
{
    Parser parser(bytes);
    try {
        return parser.parseDocument();
    } catch (const ParseFailure& failure) {
        PlistError error;
        error.message = failure.message;
        locate(bytes, failure.offset, error.line, error.column);
        return error;
    }
}

std::string serialize(const PlistValue& value)
{
    std::string out(kHeader);
    serializeValue(out, value, 0);
    out += "</plist>\n";
    return out;
}

// Property lists here are settings and bundle descriptions: kilobytes.
constexpr off_t kMaxFileSize = 64 * 1024 * 1024;

std::variant<PlistValue, PlistError> readFile(const std::string& path)
{
    // Non-blocking, so a pipe or device put in the file's place cannot hang
    // the program; only regular files of a sane size are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return PlistError{"cannot open " + path + ": " + errnoText(errno)};
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return PlistError{"cannot read " + path + ": not a regular file"};
    }
    if (info.st_size > kMaxFileSize) {
        ::close(fd);
        return PlistError{"cannot read " + path + ": larger than " + std::to_string(kMaxFileSize) + " bytes"};
    }
    std::string bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            return PlistError{"cannot read " + path + ": " + errnoText(error)};
        }
        if (n == 0)
            break;
        bytes.append(buffer, std::size_t(n));
    }
    ::close(fd);
    return parse(bytes);
}

bool writeFileAtomically(const std::string& path, const PlistValue& value, std::string* reason)
{
    const auto fail = [reason](int error) {
        if (reason)
            *reason = errnoText(error);
        return false;
    };
    if (path.empty())
        return fail(ENOENT);
    // Write through a symbolic link rather than replacing it.
    std::string target = path;
    struct stat linkInfo {};
    if (::lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }

    // An existing file keeps its permissions; a new one gets the usual
    // 0666 less the umask.
    mode_t mode;
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) {
        mode = info.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    const std::string bytes = serialize(value);
    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return fail(errno);
    int error = 0;
    if (::fchmod(fd, mode) != 0 || !writeAll(fd, bytes) || ::fsync(fd) != 0)
        error = errno != 0 ? errno : EIO;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return fail(error);
    }
    // Make the rename itself durable; a failure here loses nothing.
    const int dir = ::open(directoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace plist
} // namespace kit
