#pragma once

#include "script/Operators.h"
#include "script/Value.h"

#include <memory>
#include <string>
#include <vector>

namespace script {
class ScriptableApplication;
}

// The syntax tree the parser builds and the interpreter walks. Terms are
// resolved by then: a node that talks to an application already knows
// which one and under which dictionary term.
namespace script::syntax {

struct Expr {
    enum class Kind {
        Literal,     // 3, "text", true, missing value, an enumerated constant
        Variable,    // myStr
        Application, // application "iTunes"
        Property,    // name of current track; player state
        Element,     // track 3 of current playlist; process "iTunes"
        Unary,       // -x, not x, exists x, get x
        Binary,      // x + y, x & y, x is y
        Coercion,    // x as text
        Command,     // play, next track, quit
    };

    explicit Expr(Kind k) : kind(k) {}
    virtual ~Expr() = default;
    Expr(const Expr&) = delete;
    Expr& operator=(const Expr&) = delete;

    Kind kind;
    int line = 0;
    int column = 0;
    int height = 1; // of the subtree, bounded by the parser so walking it cannot overflow the stack
};
using ExprPtr = std::unique_ptr<Expr>;

struct Literal : Expr {
    Literal() : Expr(Kind::Literal) {}
    Value value;
};

struct Variable : Expr {
    Variable() : Expr(Kind::Variable) {}
    std::string name;  // as first written, for messages
    std::size_t slot = 0;
};

struct ApplicationRef : Expr {
    ApplicationRef() : Expr(Kind::Application) {}
    ScriptableApplication* app = nullptr;
};

// A property (`name`) or an element (`track 3`, `process "iTunes"`) of its
// container; without a container, of the application the innermost `tell`
// addresses.
struct ObjectRef : Expr {
    explicit ObjectRef(Kind k) : Expr(k) {}
    std::string term;
    ExprPtr key;        // elements only: the index or name
    ExprPtr container;  // `of …`, or null
    ScriptableApplication* target = nullptr;
};

struct Unary : Expr {
    enum class Op { Negate, Not, Exists, Get };
    Unary() : Expr(Kind::Unary) {}
    Op op = Op::Negate;
    ExprPtr operand;
};

struct Binary : Expr {
    Binary() : Expr(Kind::Binary) {}
    BinaryOp op = BinaryOp::Add;
    ExprPtr left;
    ExprPtr right;
};

struct Coercion : Expr {
    Coercion() : Expr(Kind::Coercion) {}
    ValueClass to = ValueClass::Text;
    ExprPtr operand;
};

struct Command : Expr {
    Command() : Expr(Kind::Command) {}
    std::string term;
    ExprPtr directObject; // or null
    ScriptableApplication* target = nullptr;
};

struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;
using Block = std::vector<StmtPtr>;

struct Stmt {
    enum class Kind { Expression, Set, Return, If, Tell };

    explicit Stmt(Kind k) : kind(k) {}
    virtual ~Stmt() = default;
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    Kind kind;
    int line = 0;
    int column = 0;
};

struct ExpressionStmt : Stmt {
    ExpressionStmt() : Stmt(Kind::Expression) {}
    ExprPtr expr;
};

struct SetStmt : Stmt {
    SetStmt() : Stmt(Kind::Set) {}
    ExprPtr target; // a Variable or an ObjectRef
    ExprPtr value;
};

struct ReturnStmt : Stmt {
    ReturnStmt() : Stmt(Kind::Return) {}
    ExprPtr value; // or null
};

struct IfStmt : Stmt {
    struct Branch {
        ExprPtr condition;
        Block body;
    };
    IfStmt() : Stmt(Kind::If) {}
    std::vector<Branch> branches; // `if` and each `else if`
    Block otherwise;
};

struct TellStmt : Stmt {
    TellStmt() : Stmt(Kind::Tell) {}
    ScriptableApplication* app = nullptr;
    Block body;
};

struct Program {
    Block body;
    std::vector<std::string> variables; // indexed by Variable::slot
};

} // namespace script::syntax
