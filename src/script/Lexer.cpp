#include "script/Lexer.h"

#include "script/TextNumbers.h"

#include <cmath>

namespace script {

namespace {

// The largest integer a script holds; bigger literals become reals.
constexpr std::int64_t MaxInteger = 536870911;

bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool isLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

// Multi-byte operators; every other non-ASCII byte belongs to a word.
constexpr std::string_view NotEqualSign = "\xE2\x89\xA0";     // ≠
constexpr std::string_view LessEqualSign = "\xE2\x89\xA4";    // ≤
constexpr std::string_view GreaterEqualSign = "\xE2\x89\xA5"; // ≥
constexpr std::string_view DivisionSign = "\xC3\xB7";         // ÷
constexpr std::string_view ContinuationSign = "\xC2\xAC";     // ¬

} // namespace

unsigned char Lexer::peek(std::size_t ahead) const
{
    return m_pos + ahead < m_src.size() ? static_cast<unsigned char>(m_src[m_pos + ahead]) : 0;
}

void Lexer::advance(std::size_t bytes)
{
    for (std::size_t i = 0; i < bytes && m_pos < m_src.size(); ++i, ++m_pos) {
        // Columns count characters, so UTF-8 continuation bytes do not move them.
        if ((static_cast<unsigned char>(m_src[m_pos]) & 0xC0) != 0x80)
            ++m_column;
    }
}

void Lexer::newline()
{
    ++m_line;
    m_column = 1;
}

// Consumes one line break (LF, CR or CR LF).
bool Lexer::skipLineBreak()
{
    if (peek() == '\r') {
        ++m_pos;
        if (peek() == '\n')
            ++m_pos;
        newline();
        return true;
    }
    if (peek() == '\n') {
        ++m_pos;
        newline();
        return true;
    }
    return false;
}

Error Lexer::error(int number, std::string message) const
{
    return Error{number, std::move(message), m_line, m_column};
}

void Lexer::push(Token token)
{
    if (token.kind == Token::Kind::Newline && !m_tokens.empty() && m_tokens.back().kind == Token::Kind::Newline)
        return;
    m_tokens.push_back(std::move(token));
}

std::optional<Error> Lexer::skipBlockComment()
{
    advance(2); // "(*"
    int depth = 1;
    while (depth > 0) {
        if (atEnd())
            return error(errc::SyntaxExpected, "Expected \"*)\" but found end of script.");
        if (startsWith("(*")) {
            ++depth;
            advance(2);
        } else if (startsWith("*)")) {
            --depth;
            advance(2);
        } else if (!skipLineBreak()) {
            advance();
        }
    }
    return std::nullopt;
}

std::optional<Error> Lexer::lexString(Token& token)
{
    token.kind = Token::Kind::String;
    advance(); // opening quote
    std::string value;
    for (;;) {
        if (atEnd())
            return error(errc::SyntaxExpected, "Expected \"\"\" but found end of script.");
        unsigned char c = peek();
        if (c == '"') {
            advance();
            break;
        }
        if (c == '\\' && m_pos + 1 < m_src.size() && peek(1) != '\n' && peek(1) != '\r') {
            unsigned char e = peek(1);
            switch (e) {
            case '"': value += '"'; break;
            case '\\': value += '\\'; break;
            case 'n': value += '\n'; break;
            case 't': value += '\t'; break;
            case 'r': value += '\r'; break;
            default: // not an escape: kept as written
                value += '\\';
                value += static_cast<char>(e);
                break;
            }
            advance(2);
            continue;
        }
        if (c == '\n' || c == '\r') {
            std::size_t before = m_pos;
            skipLineBreak();
            value.append(m_src.substr(before, m_pos - before));
            continue;
        }
        value += static_cast<char>(c);
        advance();
    }
    token.text = std::move(value);
    return std::nullopt;
}

std::optional<Error> Lexer::lexPipeIdentifier(Token& token)
{
    token.kind = Token::Kind::Identifier;
    advance(); // opening bar
    std::size_t start = m_pos;
    while (!atEnd() && peek() != '|' && peek() != '\n' && peek() != '\r')
        advance();
    if (peek() != '|')
        return error(errc::SyntaxExpected, "Expected \"|\" but found " + std::string(atEnd() ? "end of script" : "end of line") + ".");
    token.text = std::string(m_src.substr(start, m_pos - start));
    advance();
    return std::nullopt;
}

std::optional<Error> Lexer::lexNumber(Token& token)
{
    std::size_t start = m_pos;
    bool real = false;
    while (isDigit(peek()))
        advance();
    if (peek() == '.' && isDigit(peek(1))) {
        real = true;
        advance();
        while (isDigit(peek()))
            advance();
    }
    if ((peek() == 'e' || peek() == 'E')
        && (isDigit(peek(1)) || ((peek(1) == '+' || peek(1) == '-') && isDigit(peek(2))))) {
        real = true;
        advance(2);
        while (isDigit(peek()))
            advance();
    }
    std::string_view literal = m_src.substr(start, m_pos - start);
    if (!real) {
        std::int64_t value = 0;
        for (char c : literal) {
            value = value * 10 + (c - '0');
            if (value > MaxInteger)
                break;
        }
        if (value <= MaxInteger) {
            token.kind = Token::Kind::Integer;
            token.integer = value;
            return std::nullopt;
        }
    }
    token.kind = Token::Kind::Real;
    token.real = decimalToDouble(literal);
    if (token.real == HUGE_VAL)
        return Error{errc::NumericOverflow, "The result of a numeric operation was too large.", token.line, token.column};
    return std::nullopt;
}

void Lexer::lexWord(Token& token)
{
    token.kind = Token::Kind::Word;
    std::size_t start = m_pos;
    for (;;) {
        unsigned char c = peek();
        if (isLetter(c) || isDigit(c)) {
            advance();
        } else if (c >= 0x80 && !startsWith(NotEqualSign) && !startsWith(LessEqualSign) && !startsWith(GreaterEqualSign)
                   && !startsWith(DivisionSign) && !startsWith(ContinuationSign)) {
            advance();
        } else {
            break;
        }
    }
    token.text = std::string(m_src.substr(start, m_pos - start));
    token.folded = token.text;
    for (char& ch : token.folded) {
        if (ch >= 'A' && ch <= 'Z')
            ch = char(ch - 'A' + 'a');
    }
}

bool Lexer::lexOperator(Token& token)
{
    struct Op {
        std::string_view text;
        Token::Kind kind;
    };
    static constexpr Op ops[] = {
        {"<=", Token::Kind::LessEqual},    {">=", Token::Kind::GreaterEqual},
        {NotEqualSign, Token::Kind::NotEqual}, {LessEqualSign, Token::Kind::LessEqual},
        {GreaterEqualSign, Token::Kind::GreaterEqual}, {DivisionSign, Token::Kind::Slash},
        {"(", Token::Kind::LeftParen},     {")", Token::Kind::RightParen},
        {"&", Token::Kind::Ampersand},     {"+", Token::Kind::Plus},
        {"-", Token::Kind::Minus},         {"*", Token::Kind::Star},
        {"/", Token::Kind::Slash},         {"^", Token::Kind::Caret},
        {"=", Token::Kind::Equal},         {"<", Token::Kind::Less},
        {">", Token::Kind::Greater},
    };
    for (const Op& op : ops) {
        if (startsWith(op.text)) {
            token.kind = op.kind;
            advance(op.text.size());
            return true;
        }
    }
    return false;
}

Result<std::vector<Token>> Lexer::tokenize()
{
    m_tokens.clear();
    m_tokens.reserve(m_src.size() / 4 + 8);
    if (startsWith("\xEF\xBB\xBF")) // a byte-order mark from an editor is no word
        m_pos = 3;
    while (!atEnd()) {
        unsigned char c = peek();
        if (c == ' ' || c == '\t' || c == '\f' || c == '\v') {
            advance();
            continue;
        }
        if (c == '\n' || c == '\r') {
            Token t;
            t.kind = Token::Kind::Newline;
            t.line = m_line;
            t.column = m_column;
            skipLineBreak();
            push(std::move(t));
            continue;
        }
        if (startsWith(ContinuationSign)) {
            // The statement goes on on the next line.
            advance(ContinuationSign.size());
            while (peek() == ' ' || peek() == '\t')
                advance();
            skipLineBreak();
            continue;
        }
        if (startsWith("--") || c == '#') {
            while (!atEnd() && peek() != '\n' && peek() != '\r')
                advance();
            continue;
        }
        if (startsWith("(*")) {
            if (auto e = skipBlockComment())
                return *e;
            continue;
        }

        Token token;
        token.line = m_line;
        token.column = m_column;
        if (c == '"') {
            if (auto e = lexString(token))
                return *e;
        } else if (c == '|') {
            if (auto e = lexPipeIdentifier(token))
                return *e;
        } else if (isDigit(c) || (c == '.' && isDigit(peek(1)))) {
            if (auto e = lexNumber(token))
                return *e;
        } else if (lexOperator(token)) {
            // kind set
        } else if (isLetter(c) || c >= 0x80) {
            lexWord(token);
        } else {
            return error(errc::Syntax, "Expected expression but found unknown token.");
        }
        push(std::move(token));
    }
    Token end;
    end.kind = Token::Kind::End;
    end.line = m_line;
    end.column = m_column;
    m_tokens.push_back(std::move(end));
    return std::move(m_tokens);
}

} // namespace script
