#pragma once

#include "script/Error.h"
#include "script/Token.h"

#include <optional>
#include <string_view>
#include <vector>

namespace script {

// Splits a source into tokens. Blanks, comments (`-- …`, `# …`, nested
// `(* … *)`) and continued lines (`¬` before a line break) vanish; runs of
// line breaks become one Newline token. The last token is always End.
class Lexer {
public:
    explicit Lexer(std::string_view source) : m_src(source) {}

    Result<std::vector<Token>> tokenize();

private:
    bool atEnd() const { return m_pos >= m_src.size(); }
    unsigned char peek(std::size_t ahead = 0) const;
    bool startsWith(std::string_view s) const { return m_src.substr(m_pos).starts_with(s); }
    void advance(std::size_t bytes = 1);
    void newline();
    bool skipLineBreak();
    std::optional<Error> skipBlockComment();
    Error error(int number, std::string message) const;

    std::optional<Error> lexString(Token& token);
    std::optional<Error> lexPipeIdentifier(Token& token);
    std::optional<Error> lexNumber(Token& token);
    void lexWord(Token& token);
    bool lexOperator(Token& token);
    void push(Token token);

    std::string_view m_src;
    std::size_t m_pos = 0;
    int m_line = 1;
    int m_column = 1;
    std::vector<Token> m_tokens;
};

} // namespace script
