#include "script/Parser.h"

#include <algorithm>
#include <array>

namespace script {

using namespace syntax;

namespace {

// Words of the language itself. They win over single-word application
// terms, so no dictionary can change how a script's structure reads.
constexpr std::array<std::string_view, 26> Keywords = {
    "tell", "to", "end", "if", "then", "else", "set", "return", "get", "of", "in", "is", "not",
    "and", "or", "exists", "true", "false", "missing", "application", "app", "div", "mod", "as",
    "the", "equals",
};

template <class T>
std::unique_ptr<T> make(const Token& at)
{
    auto node = std::make_unique<T>();
    node->line = at.line;
    node->column = at.column;
    return node;
}

int heightOf(const ExprPtr& e) { return e ? e->height : 0; }

} // namespace

Parser::Parser(std::vector<Token> tokens, const ApplicationDirectory& apps)
    : m_tokens(std::move(tokens))
    , m_apps(apps)
{
    if (m_tokens.empty() || m_tokens.back().kind != Token::Kind::End)
        m_tokens.push_back(Token{});
}

Result<std::unique_ptr<Program>> Parser::parse()
{
    m_program = std::make_unique<Program>();
    if (parseBlock(m_program->body) && peek().kind != Token::Kind::End)
        expected("end of line", peek());
    if (failed())
        return *m_error;
    m_program->variables.resize(m_variableSlots.size());
    for (auto& [name, slot] : m_variableSlots)
        m_program->variables[slot] = name;
    return std::move(m_program);
}

// ---------------------------------------------------------------- tokens

const Token& Parser::peek(std::size_t ahead) const
{
    std::size_t i = std::min(m_pos + ahead, m_tokens.size() - 1);
    return m_tokens[i];
}

const Token& Parser::advance()
{
    const Token& t = m_tokens[m_pos];
    if (m_pos + 1 < m_tokens.size())
        ++m_pos;
    return t;
}

bool Parser::isWord(const Token& t, std::string_view word) const
{
    return t.kind == Token::Kind::Word && t.folded == word;
}

bool Parser::matchWord(std::string_view word)
{
    if (!isWord(word))
        return false;
    advance();
    return true;
}

bool Parser::expectWord(std::string_view word)
{
    if (matchWord(word))
        return true;
    expected("\"" + std::string(word) + "\"", peek());
    return false;
}

bool Parser::isKeyword(const Token& t) const
{
    return t.kind == Token::Kind::Word && std::find(Keywords.begin(), Keywords.end(), t.folded) != Keywords.end();
}

// Whether a command's direct object starts here (`play track 3`) rather
// than the command standing alone (`play`).
bool Parser::startsOperand(const Token& t) const
{
    switch (t.kind) {
    case Token::Kind::Integer:
    case Token::Kind::Real:
    case Token::Kind::String:
    case Token::Kind::LeftParen:
    case Token::Kind::Identifier:
        return true;
    case Token::Kind::Word:
        return !isKeyword(t) || isWord(t, "the") || isWord(t, "application") || isWord(t, "app");
    default:
        return false;
    }
}

void Parser::skipNewlines()
{
    while (peek().kind == Token::Kind::Newline)
        advance();
}

std::string Parser::found(const Token& t) const
{
    if (t.kind == Token::Kind::Word)
        return isKeyword(t) ? "\"" + t.text + "\"" : "identifier";
    return describe(t.kind);
}

std::nullptr_t Parser::fail(int number, std::string message, const Token& at)
{
    if (!m_error)
        m_error = Error{number, std::move(message), at.line, at.column};
    return nullptr;
}

std::nullptr_t Parser::expected(std::string_view what, const Token& at)
{
    int number = what == "end of line" ? errc::Syntax : errc::SyntaxExpected;
    return fail(number, "Expected " + std::string(what) + " but found " + found(at) + ".", at);
}

bool Parser::enter(Nesting& guard)
{
    if (!guard.tooDeep())
        return true;
    fail(errc::StackOverflow, "Too deeply nested.", peek());
    return false;
}

const Terminology& Parser::terminology(const Dictionary& dictionary)
{
    auto& slot = m_terminologies[&dictionary];
    if (!slot)
        slot = std::make_unique<Terminology>(dictionary);
    return *slot;
}

// ------------------------------------------------------------ statements

bool Parser::parseBlock(Block& block)
{
    for (;;) {
        skipNewlines();
        const Token& t = peek();
        if (t.kind == Token::Kind::End || isWord(t, "end") || isWord(t, "else"))
            return true;
        StmtPtr s = parseStatement();
        if (!s)
            return false;
        block.push_back(std::move(s));
        if (!expectEndOfStatement())
            return false;
    }
}

bool Parser::expectEndOfStatement()
{
    Token::Kind k = peek().kind;
    if (k == Token::Kind::Newline || k == Token::Kind::End)
        return true;
    expected("end of line", peek());
    return false;
}

StmtPtr Parser::parseStatement()
{
    Nesting guard(*this);
    if (!enter(guard))
        return nullptr;
    const Token& t = peek();
    if (isWord(t, "tell"))
        return parseTell();
    if (isWord(t, "if"))
        return parseIf();
    if (isWord(t, "set"))
        return parseSet();
    if (isWord(t, "return"))
        return parseReturn();
    ExprPtr e = parseExpression();
    if (!e)
        return nullptr;
    auto s = make<ExpressionStmt>(t);
    s->expr = std::move(e);
    return s;
}

bool Parser::parseEnd(const char* keyword)
{
    if (!isWord("end")) {
        expected("\"end\"", peek());
        return false;
    }
    const Token& end = advance();
    if (isWord("if") || isWord("tell")) {
        if (!isWord(keyword)) {
            fail(errc::SyntaxExpected,
                 "Expected \"end\" or \"end " + std::string(keyword) + "\" but found \"end " + peek().text + "\".", end);
            return false;
        }
        advance();
    }
    return true;
}

StmtPtr Parser::parseTell()
{
    const Token& tell = advance();
    ExprPtr target = parseApplication();
    if (!target)
        return nullptr;
    auto stmt = make<TellStmt>(tell);
    stmt->app = static_cast<ApplicationRef&>(*target).app;

    // The application's terms are in scope for the statements inside only.
    m_scopes.push_back(Scope{stmt->app, &terminology(stmt->app->dictionary())});
    struct PopScope {
        std::vector<Scope>& scopes;
        ~PopScope() { scopes.pop_back(); }
    } pop{m_scopes};

    if (matchWord("to")) {
        StmtPtr s = parseStatement();
        if (!s)
            return nullptr;
        stmt->body.push_back(std::move(s));
        return stmt;
    }
    if (peek().kind != Token::Kind::Newline)
        return expected("end of line", peek());
    if (!parseBlock(stmt->body) || !parseEnd("tell"))
        return nullptr;
    return stmt;
}

StmtPtr Parser::parseIf()
{
    const Token& ifToken = advance();
    auto stmt = make<IfStmt>(ifToken);
    ExprPtr condition = parseExpression();
    if (!condition || !expectWord("then"))
        return nullptr;

    if (peek().kind != Token::Kind::Newline && peek().kind != Token::Kind::End) {
        // One line: `if … then <statement>`.
        StmtPtr s = parseStatement();
        if (!s)
            return nullptr;
        IfStmt::Branch branch{std::move(condition), {}};
        branch.body.push_back(std::move(s));
        stmt->branches.push_back(std::move(branch));
        return stmt;
    }

    for (;;) {
        IfStmt::Branch branch{std::move(condition), {}};
        if (!parseBlock(branch.body))
            return nullptr;
        stmt->branches.push_back(std::move(branch));
        if (!matchWord("else"))
            break;
        if (matchWord("if")) {
            condition = parseExpression();
            if (!condition || !expectWord("then"))
                return nullptr;
            if (peek().kind != Token::Kind::Newline)
                return expected("end of line", peek());
            continue;
        }
        if (peek().kind != Token::Kind::Newline)
            return expected("end of line", peek());
        if (!parseBlock(stmt->otherwise))
            return nullptr;
        break;
    }
    if (!parseEnd("if"))
        return nullptr;
    return stmt;
}

StmtPtr Parser::parseSet()
{
    const Token& set = advance();
    const Token& at = peek();
    ExprPtr target = parseReference();
    if (!target)
        return nullptr;
    if (target->kind != Expr::Kind::Variable && target->kind != Expr::Kind::Property
        && target->kind != Expr::Kind::Element)
        return fail(errc::SyntaxExpected, "Expected variable name or property but found " + found(at) + ".", at);
    if (!expectWord("to"))
        return nullptr;
    ExprPtr value = parseExpression();
    if (!value)
        return nullptr;
    auto stmt = make<SetStmt>(set);
    stmt->target = std::move(target);
    stmt->value = std::move(value);
    return stmt;
}

StmtPtr Parser::parseReturn()
{
    const Token& ret = advance();
    auto stmt = make<ReturnStmt>(ret);
    if (peek().kind != Token::Kind::Newline && peek().kind != Token::Kind::End) {
        stmt->value = parseExpression();
        if (!stmt->value)
            return nullptr;
    }
    return stmt;
}

// ----------------------------------------------------------- expressions

bool Parser::seal(Expr& e, const Token& at)
{
    int h = 0;
    switch (e.kind) {
    case Expr::Kind::Property:
    case Expr::Kind::Element: {
        auto& r = static_cast<ObjectRef&>(e);
        h = std::max(heightOf(r.key), heightOf(r.container));
        break;
    }
    case Expr::Kind::Unary: h = heightOf(static_cast<Unary&>(e).operand); break;
    case Expr::Kind::Binary: {
        auto& b = static_cast<Binary&>(e);
        h = std::max(heightOf(b.left), heightOf(b.right));
        break;
    }
    case Expr::Kind::Coercion: h = heightOf(static_cast<Coercion&>(e).operand); break;
    case Expr::Kind::Command: h = heightOf(static_cast<Command&>(e).directObject); break;
    default: break;
    }
    e.height = h + 1;
    if (e.height > MaxHeight) {
        fail(errc::StackOverflow, "Too deeply nested.", at);
        return false;
    }
    return true;
}

ExprPtr Parser::unary(Unary::Op op, ExprPtr operand, const Token& at)
{
    auto e = make<Unary>(at);
    e->op = op;
    e->operand = std::move(operand);
    if (!seal(*e, at))
        return nullptr;
    return e;
}

ExprPtr Parser::binary(BinaryOp op, ExprPtr left, ExprPtr right, const Token& at)
{
    auto e = make<Binary>(at);
    e->op = op;
    e->left = std::move(left);
    e->right = std::move(right);
    if (!seal(*e, at))
        return nullptr;
    return e;
}

ExprPtr Parser::variable(const Token& name)
{
    auto e = make<Variable>(name);
    // `|myStr|` and `mystr` name the same variable as `myStr`.
    std::string key = name.kind == Token::Kind::Word ? name.folded : foldCase(name.text);
    auto [it, added] = m_variableSlots.emplace(key, m_variableSlots.size());
    (void)added;
    e->name = name.text;
    e->slot = it->second;
    return e;
}

ExprPtr Parser::parseExpression()
{
    return parseOr();
}

ExprPtr Parser::parseOr()
{
    ExprPtr left = parseAnd();
    while (left && isWord("or")) {
        const Token& op = advance();
        ExprPtr right = parseAnd();
        if (!right)
            return nullptr;
        left = binary(BinaryOp::Or, std::move(left), std::move(right), op);
    }
    return left;
}

ExprPtr Parser::parseAnd()
{
    ExprPtr left = parseNot();
    while (left && isWord("and")) {
        const Token& op = advance();
        ExprPtr right = parseNot();
        if (!right)
            return nullptr;
        left = binary(BinaryOp::And, std::move(left), std::move(right), op);
    }
    return left;
}

ExprPtr Parser::parseNot()
{
    if (!isWord("not"))
        return parseComparison();
    Nesting guard(*this);
    if (!enter(guard))
        return nullptr;
    const Token& op = advance();
    ExprPtr operand = parseNot();
    if (!operand)
        return nullptr;
    return unary(Unary::Op::Not, std::move(operand), op);
}

std::optional<BinaryOp> Parser::matchComparison()
{
    switch (peek().kind) {
    case Token::Kind::Equal: advance(); return BinaryOp::Equal;
    case Token::Kind::NotEqual: advance(); return BinaryOp::NotEqual;
    case Token::Kind::Less: advance(); return BinaryOp::Less;
    case Token::Kind::Greater: advance(); return BinaryOp::Greater;
    case Token::Kind::LessEqual: advance(); return BinaryOp::LessEqual;
    case Token::Kind::GreaterEqual: advance(); return BinaryOp::GreaterEqual;
    default: break;
    }
    if (matchWord("equals"))
        return BinaryOp::Equal;
    if (!matchWord("is"))
        return std::nullopt;

    // is [not] [equal to | greater than [or equal to] | less than [or equal to]]
    bool negated = matchWord("not");
    BinaryOp op = BinaryOp::Equal;
    auto orEqualTo = [this] {
        if (isWord("or") && isWord("equal", 1) && isWord("to", 2)) {
            m_pos += 3;
            return true;
        }
        return false;
    };
    if (isWord("equal") && isWord("to", 1)) {
        m_pos += 2;
    } else if (isWord("greater") && isWord("than", 1)) {
        m_pos += 2;
        op = orEqualTo() ? BinaryOp::GreaterEqual : BinaryOp::Greater;
    } else if (isWord("less") && isWord("than", 1)) {
        m_pos += 2;
        op = orEqualTo() ? BinaryOp::LessEqual : BinaryOp::Less;
    }
    if (negated) {
        switch (op) {
        case BinaryOp::Equal: op = BinaryOp::NotEqual; break;
        case BinaryOp::Greater: op = BinaryOp::LessEqual; break;
        case BinaryOp::GreaterEqual: op = BinaryOp::Less; break;
        case BinaryOp::Less: op = BinaryOp::GreaterEqual; break;
        case BinaryOp::LessEqual: op = BinaryOp::Greater; break;
        default: break;
        }
    }
    return op;
}

ExprPtr Parser::parseComparison()
{
    ExprPtr left = parseCoercion();
    while (left) {
        const Token& at = peek();
        auto op = matchComparison();
        if (!op)
            break;
        ExprPtr right = parseCoercion();
        if (!right)
            return nullptr;
        left = binary(*op, std::move(left), std::move(right), at);
    }
    return left;
}

ExprPtr Parser::parseCoercion()
{
    ExprPtr left = parseConcatenation();
    while (left && isWord("as")) {
        const Token& as = advance();
        ValueClass to;
        if (matchWord("text") || matchWord("string")) {
            to = ValueClass::Text;
        } else if (isWord("unicode") && isWord("text", 1)) {
            m_pos += 2;
            to = ValueClass::Text;
        } else if (matchWord("integer")) {
            to = ValueClass::Integer;
        } else if (matchWord("real")) {
            to = ValueClass::Real;
        } else if (matchWord("number")) {
            to = ValueClass::Number;
        } else if (matchWord("boolean")) {
            to = ValueClass::Boolean;
        } else {
            return expected("class name", peek());
        }
        auto e = make<Coercion>(as);
        e->to = to;
        e->operand = std::move(left);
        if (!seal(*e, as))
            return nullptr;
        left = std::move(e);
    }
    return left;
}

ExprPtr Parser::parseConcatenation()
{
    ExprPtr left = parseAdditive();
    while (left && peek().kind == Token::Kind::Ampersand) {
        const Token& op = advance();
        ExprPtr right = parseAdditive();
        if (!right)
            return nullptr;
        left = binary(BinaryOp::Concatenate, std::move(left), std::move(right), op);
    }
    return left;
}

ExprPtr Parser::parseAdditive()
{
    ExprPtr left = parseMultiplicative();
    while (left && (peek().kind == Token::Kind::Plus || peek().kind == Token::Kind::Minus)) {
        const Token& op = advance();
        ExprPtr right = parseMultiplicative();
        if (!right)
            return nullptr;
        left = binary(op.kind == Token::Kind::Plus ? BinaryOp::Add : BinaryOp::Subtract, std::move(left),
                      std::move(right), op);
    }
    return left;
}

ExprPtr Parser::parseMultiplicative()
{
    ExprPtr left = parsePower();
    while (left) {
        BinaryOp op;
        const Token& at = peek();
        if (at.kind == Token::Kind::Star)
            op = BinaryOp::Multiply;
        else if (at.kind == Token::Kind::Slash)
            op = BinaryOp::Divide;
        else if (isWord(at, "div"))
            op = BinaryOp::IntegerDivide;
        else if (isWord(at, "mod"))
            op = BinaryOp::Modulo;
        else
            break;
        advance();
        ExprPtr right = parsePower();
        if (!right)
            return nullptr;
        left = binary(op, std::move(left), std::move(right), at);
    }
    return left;
}

ExprPtr Parser::parsePower()
{
    ExprPtr base = parseUnary();
    if (!base || peek().kind != Token::Kind::Caret)
        return base;
    Nesting guard(*this);
    if (!enter(guard))
        return nullptr;
    const Token& op = advance();
    ExprPtr exponent = parsePower(); // right-associative: 2 ^ 3 ^ 2 is 2 ^ 9
    if (!exponent)
        return nullptr;
    return binary(BinaryOp::Power, std::move(base), std::move(exponent), op);
}

ExprPtr Parser::parseUnary()
{
    const Token& t = peek();
    std::optional<Unary::Op> op;
    if (t.kind == Token::Kind::Minus)
        op = Unary::Op::Negate;
    else if (isWord(t, "get"))
        op = Unary::Op::Get;
    else if (isWord(t, "exists"))
        op = Unary::Op::Exists;
    if (op) {
        Nesting guard(*this);
        if (!enter(guard))
            return nullptr;
        advance();
        ExprPtr operand = parseUnary();
        if (!operand)
            return nullptr;
        return unary(*op, std::move(operand), t);
    }

    ExprPtr e = parseReference();
    if (e && isWord("exists")) { // `process "iTunes" exists`
        const Token& x = advance();
        return unary(Unary::Op::Exists, std::move(e), x);
    }
    return e;
}

ExprPtr Parser::parseReference()
{
    ExprPtr e = parsePrimary();
    if (!e || (e->kind != Expr::Kind::Property && e->kind != Expr::Kind::Element))
        return e;
    if (!isWord("of") && !isWord("in"))
        return e;
    Nesting guard(*this);
    if (!enter(guard))
        return nullptr;
    const Token& of = advance();
    ExprPtr container = parseReference(); // `a of b of c` is a of (b of c)
    if (!container)
        return nullptr;
    auto& r = static_cast<ObjectRef&>(*e);
    r.container = std::move(container);
    if (!seal(r, of))
        return nullptr;
    return e;
}

ExprPtr Parser::parsePrimary()
{
    while (isWord("the"))
        advance();
    const Token& t = peek();
    switch (t.kind) {
    case Token::Kind::Integer: {
        advance();
        auto e = make<Literal>(t);
        e->value = Value::integer(t.integer);
        return e;
    }
    case Token::Kind::Real: {
        advance();
        auto e = make<Literal>(t);
        e->value = Value::real(t.real);
        return e;
    }
    case Token::Kind::String: {
        advance();
        auto e = make<Literal>(t);
        e->value = Value::text(t.text);
        return e;
    }
    case Token::Kind::LeftParen: {
        Nesting guard(*this);
        if (!enter(guard))
            return nullptr;
        advance();
        ExprPtr e = parseExpression();
        if (!e)
            return nullptr;
        if (peek().kind != Token::Kind::RightParen)
            return expected("\")\"", peek());
        advance();
        return e;
    }
    case Token::Kind::Identifier:
        advance();
        return variable(t);
    case Token::Kind::Word:
        break;
    default:
        return expected("expression", t);
    }

    // A term of several words may start with a keyword ("application
    // process"); spelt out in full it is the term.
    if (isKeyword(t)) {
        for (auto scope = m_scopes.rbegin(); scope != m_scopes.rend(); ++scope) {
            auto match = scope->terms->match(m_tokens, m_pos);
            if (match && match->words > 1)
                return parseTerm(*match);
        }
    }

    if (isWord(t, "true") || isWord(t, "false")) {
        advance();
        auto e = make<Literal>(t);
        e->value = Value::boolean(isWord(t, "true"));
        return e;
    }
    if (isWord(t, "missing") && isWord("value", 1)) {
        m_pos += 2;
        return make<Literal>(t);
    }
    if (isWord(t, "application") || isWord(t, "app"))
        return parseApplication();
    if (isKeyword(t))
        return expected("expression", t);

    // Terms: the innermost tell's dictionary first, then the outer ones.
    for (auto scope = m_scopes.rbegin(); scope != m_scopes.rend(); ++scope) {
        if (auto match = scope->terms->match(m_tokens, m_pos))
            return parseTerm(*match);
    }
    advance();
    return variable(t);
}

ExprPtr Parser::parseTerm(const Terminology::Match& match)
{
    Nesting guard(*this);
    if (!enter(guard))
        return nullptr;
    const Token& t = peek();
    m_pos += match.words;
    // Events go to the application the innermost tell addresses.
    ScriptableApplication* target = m_scopes.back().app;

    switch (match.kind) {
    case Terminology::Kind::Enumerator: {
        auto e = make<Literal>(t);
        e->value = Value::constant(*match.term);
        return e;
    }
    case Terminology::Kind::Property: {
        auto e = std::make_unique<ObjectRef>(Expr::Kind::Property);
        e->line = t.line;
        e->column = t.column;
        e->term = *match.term;
        e->target = target;
        return e;
    }
    case Terminology::Kind::Element: {
        auto e = std::make_unique<ObjectRef>(Expr::Kind::Element);
        e->line = t.line;
        e->column = t.column;
        e->term = *match.term;
        e->target = target;
        e->key = parseKey();
        if (!e->key || !seal(*e, t))
            return nullptr;
        return e;
    }
    case Terminology::Kind::Command: {
        auto e = make<Command>(t);
        e->term = *match.term;
        e->target = target;
        if (startsOperand(peek())) {
            e->directObject = parseUnary();
            if (!e->directObject || !seal(*e, t))
                return nullptr;
        }
        return e;
    }
    }
    return nullptr;
}

// An element's index or name: `track 3`, `track -1`, `process "iTunes"`,
// `track (n + 1)`. It binds tighter than `of`.
ExprPtr Parser::parseKey()
{
    if (peek().kind != Token::Kind::Minus)
        return parsePrimary();
    const Token& minus = advance();
    ExprPtr operand = parsePrimary();
    if (!operand)
        return nullptr;
    return unary(Unary::Op::Negate, std::move(operand), minus);
}

ExprPtr Parser::parseApplication()
{
    const Token& word = peek();
    if (!isWord(word, "application") && !isWord(word, "app"))
        return expected("application", word);
    advance();
    const Token& name = peek();
    if (name.kind != Token::Kind::String)
        return expected("application name", name);
    advance();
    ScriptableApplication* app = m_apps.find(name.text);
    if (!app)
        return fail(errc::AppNotFound, "Can't find application \"" + name.text + "\".", name);
    auto e = make<ApplicationRef>(word);
    e->app = app;
    return e;
}

} // namespace script
