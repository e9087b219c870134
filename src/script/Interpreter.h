#pragma once

#include "script/Error.h"
#include "script/ScriptableApplication.h"
#include "script/Syntax.h"
#include "script/Value.h"

#include <optional>
#include <vector>

namespace script {

// Runs a compiled program once. Variables start undefined on every run.
// The result is the value of the last statement that ran (or of `return`),
// missing value when none gave one. Every event to an application that is
// not running launches it first.
class Interpreter {
public:
    Interpreter(const syntax::Program& program, const ApplicationDirectory& apps);

    Result<Value> run();

private:
    // An object inside an application, with the application to ask.
    struct Target {
        ScriptableApplication* app;
        ObjectSpecifier object;
    };

    enum class Flow { Next, Return, Fail };

    Flow execute(const syntax::Block& block);
    Flow execute(const syntax::Stmt& stmt);
    Flow executeSet(const syntax::SetStmt& stmt);
    Flow executeIf(const syntax::IfStmt& stmt);

    Result<Value> evaluate(const syntax::Expr& expr);
    Result<Value> evaluateUnary(const syntax::Unary& expr);
    Result<Value> evaluateBinary(const syntax::Binary& expr);
    Result<Value> evaluateCommand(const syntax::Command& expr);

    // The object an expression refers to, without getting it: the
    // references build their specifier here, other expressions must give
    // an object value.
    Result<Target> resolve(const syntax::Expr& expr);
    Result<Target> resolveValue(const Value& v);
    Result<Target> resolveReference(const syntax::ObjectRef& ref);

    // Launches the application if needed; the error if it will not run.
    std::optional<Error> ready(ScriptableApplication& app);
    Error fromApplication(const ScriptableApplication& app, const Error& e) const;

    Flow fail(Error e);

    const syntax::Program& m_program;
    const ApplicationDirectory& m_apps;
    std::vector<std::optional<Value>> m_variables;
    Value m_result;
    std::optional<Error> m_error;
};

} // namespace script
