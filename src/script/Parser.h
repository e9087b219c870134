#pragma once

#include "script/Error.h"
#include "script/ScriptableApplication.h"
#include "script/Syntax.h"
#include "script/Terminology.h"
#include "script/Token.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace script {

// Builds the syntax tree from tokens, recursive descent. Application
// dictionaries are read here, at compile time: each `tell application "…"`
// brings its application's terms into scope for the statements inside.
// The first error stops the parse; it carries the line and column of the
// token at fault.
class Parser {
public:
    Parser(std::vector<Token> tokens, const ApplicationDirectory& apps);

    Result<std::unique_ptr<syntax::Program>> parse();

    // Nesting beyond these is refused at compile time, so neither the
    // parser nor the interpreter can run out of stack on any source.
    static constexpr int MaxNesting = 100;
    static constexpr int MaxHeight = 200;

private:
    struct Scope {
        ScriptableApplication* app;
        const Terminology* terms;
    };

    // Statements
    bool parseBlock(syntax::Block& block);
    syntax::StmtPtr parseStatement();
    syntax::StmtPtr parseTell();
    syntax::StmtPtr parseIf();
    syntax::StmtPtr parseSet();
    syntax::StmtPtr parseReturn();
    bool parseEnd(const char* keyword);
    bool expectEndOfStatement();

    // Expressions, loosest first
    syntax::ExprPtr parseExpression();
    syntax::ExprPtr parseOr();
    syntax::ExprPtr parseAnd();
    syntax::ExprPtr parseNot();
    syntax::ExprPtr parseComparison();
    syntax::ExprPtr parseCoercion();
    syntax::ExprPtr parseConcatenation();
    syntax::ExprPtr parseAdditive();
    syntax::ExprPtr parseMultiplicative();
    syntax::ExprPtr parsePower();
    syntax::ExprPtr parseUnary();
    syntax::ExprPtr parseReference();
    syntax::ExprPtr parsePrimary();
    syntax::ExprPtr parseTerm(const Terminology::Match& match);
    syntax::ExprPtr parseKey();
    syntax::ExprPtr parseApplication();
    std::optional<BinaryOp> matchComparison();

    syntax::ExprPtr unary(syntax::Unary::Op op, syntax::ExprPtr operand, const Token& at);
    syntax::ExprPtr binary(BinaryOp op, syntax::ExprPtr left, syntax::ExprPtr right, const Token& at);
    syntax::ExprPtr variable(const Token& name);
    bool seal(syntax::Expr& e, const Token& at);
    const Terminology& terminology(const Dictionary& dictionary);

    // Tokens
    const Token& peek(std::size_t ahead = 0) const;
    const Token& advance();
    bool isWord(const Token& t, std::string_view word) const;
    bool isWord(std::string_view word, std::size_t ahead = 0) const { return isWord(peek(ahead), word); }
    bool matchWord(std::string_view word);
    bool isKeyword(const Token& t) const;
    bool startsOperand(const Token& t) const;
    bool expectWord(std::string_view word);
    void skipNewlines();
    std::string found(const Token& t) const;

    // Errors: the first one sticks, and every parse function returns
    // null once it is set.
    std::nullptr_t fail(int number, std::string message, const Token& at);
    std::nullptr_t expected(std::string_view what, const Token& at);
    bool failed() const { return m_error.has_value(); }

    // Nesting guard, entered at every point where parsing recurses.
    struct Nesting {
        Parser& p;
        explicit Nesting(Parser& parser) : p(parser) { ++p.m_nesting; }
        ~Nesting() { --p.m_nesting; }
        bool tooDeep() const { return p.m_nesting > MaxNesting; }
    };
    bool enter(Nesting& guard);

    std::vector<Token> m_tokens;
    std::size_t m_pos = 0;
    const ApplicationDirectory& m_apps;
    std::vector<Scope> m_scopes;
    std::map<const Dictionary*, std::unique_ptr<Terminology>> m_terminologies;
    std::map<std::string, std::size_t> m_variableSlots; // by folded name
    std::unique_ptr<syntax::Program> m_program;
    std::optional<Error> m_error;
    int m_nesting = 0;
};

} // namespace script
