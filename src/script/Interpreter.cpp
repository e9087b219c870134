#include "script/Interpreter.h"

#include "script/Operators.h"

#include <cmath>

namespace script {

using namespace syntax;

Interpreter::Interpreter(const Program& program, const ApplicationDirectory& apps)
    : m_program(program)
    , m_apps(apps)
    , m_variables(program.variables.size())
{
}

Result<Value> Interpreter::run()
{
    if (execute(m_program.body) == Flow::Fail)
        return *m_error;
    return m_result;
}

Interpreter::Flow Interpreter::fail(Error e)
{
    m_error = std::move(e);
    return Flow::Fail;
}

// ------------------------------------------------------------ statements

Interpreter::Flow Interpreter::execute(const Block& block)
{
    for (const StmtPtr& stmt : block) {
        Flow flow = execute(*stmt);
        if (flow != Flow::Next)
            return flow;
    }
    return Flow::Next;
}

Interpreter::Flow Interpreter::execute(const Stmt& stmt)
{
    switch (stmt.kind) {
    case Stmt::Kind::Expression: {
        auto v = evaluate(*static_cast<const ExpressionStmt&>(stmt).expr);
        if (!v)
            return fail(v.error());
        m_result = std::move(v.value());
        return Flow::Next;
    }
    case Stmt::Kind::Set:
        return executeSet(static_cast<const SetStmt&>(stmt));
    case Stmt::Kind::Return: {
        const auto& ret = static_cast<const ReturnStmt&>(stmt);
        m_result = Value();
        if (ret.value) {
            auto v = evaluate(*ret.value);
            if (!v)
                return fail(v.error());
            m_result = std::move(v.value());
        }
        return Flow::Return;
    }
    case Stmt::Kind::If:
        return executeIf(static_cast<const IfStmt&>(stmt));
    case Stmt::Kind::Tell:
        // The statements inside already know their application.
        return execute(static_cast<const TellStmt&>(stmt).body);
    }
    return Flow::Next;
}

Interpreter::Flow Interpreter::executeSet(const SetStmt& stmt)
{
    auto v = evaluate(*stmt.value);
    if (!v)
        return fail(v.error());
    if (stmt.target->kind == Expr::Kind::Variable) {
        m_variables[static_cast<const Variable&>(*stmt.target).slot] = v.value();
        m_result = std::move(v.value());
        return Flow::Next;
    }
    auto target = resolve(*stmt.target);
    if (!target)
        return fail(target.error());
    ScriptableApplication& app = *target.value().app;
    if (auto e = ready(app))
        return fail(*e);
    // The statement's result is the application's reply.
    auto reply = app.set(target.value().object, v.value());
    if (!reply)
        return fail(fromApplication(app, reply.error()));
    m_result = std::move(reply.value());
    return Flow::Next;
}

Interpreter::Flow Interpreter::executeIf(const IfStmt& stmt)
{
    for (const IfStmt::Branch& branch : stmt.branches) {
        auto c = evaluate(*branch.condition);
        if (!c)
            return fail(c.error());
        if (c.value().type() != Value::Type::Boolean)
            return fail(operators::cantMake(c.value(), "boolean"));
        if (c.value().asBoolean())
            return execute(branch.body);
    }
    return execute(stmt.otherwise);
}

// ----------------------------------------------------------- expressions

Result<Value> Interpreter::evaluate(const Expr& expr)
{
    switch (expr.kind) {
    case Expr::Kind::Literal:
        return static_cast<const Literal&>(expr).value;
    case Expr::Kind::Variable: {
        const auto& var = static_cast<const Variable&>(expr);
        const auto& slot = m_variables[var.slot];
        if (!slot)
            return Error{errc::UndefinedVariable, "The variable " + var.name + " is not defined."};
        return *slot;
    }
    case Expr::Kind::Application: {
        // The application object itself; naming it sends nothing.
        ScriptableApplication* app = static_cast<const ApplicationRef&>(expr).app;
        return Value::object(ObjectSpecifier{app->name(), {}});
    }
    case Expr::Kind::Property:
    case Expr::Kind::Element: {
        auto target = resolveReference(static_cast<const ObjectRef&>(expr));
        if (!target)
            return target.error();
        ScriptableApplication& app = *target.value().app;
        if (auto e = ready(app))
            return *e;
        auto v = app.get(target.value().object);
        if (!v)
            return fromApplication(app, v.error());
        return v;
    }
    case Expr::Kind::Unary:
        return evaluateUnary(static_cast<const Unary&>(expr));
    case Expr::Kind::Binary:
        return evaluateBinary(static_cast<const Binary&>(expr));
    case Expr::Kind::Coercion: {
        const auto& c = static_cast<const Coercion&>(expr);
        auto v = evaluate(*c.operand);
        if (!v)
            return v;
        return operators::coerce(v.value(), c.to);
    }
    case Expr::Kind::Command:
        return evaluateCommand(static_cast<const Command&>(expr));
    }
    return Value();
}

Result<Value> Interpreter::evaluateUnary(const Unary& expr)
{
    if (expr.op == Unary::Op::Exists) {
        const Expr& operand = *expr.operand;
        Result<Target> target = Error{};
        if (operand.kind == Expr::Kind::Property || operand.kind == Expr::Kind::Element
            || operand.kind == Expr::Kind::Application) {
            target = resolve(operand);
        } else {
            auto v = evaluate(operand);
            if (!v)
                return v;
            if (v.value().type() != Value::Type::Object)
                return Value::boolean(!v.value().isMissing()); // a plain value exists
            target = resolveValue(v.value());
        }
        if (!target)
            return target.error();
        ScriptableApplication& app = *target.value().app;
        if (auto e = ready(app))
            return *e;
        auto exists = app.exists(target.value().object);
        if (!exists)
            return fromApplication(app, exists.error());
        return Value::boolean(exists.value());
    }

    auto v = evaluate(*expr.operand);
    if (!v)
        return v;
    switch (expr.op) {
    case Unary::Op::Negate:
        return operators::negate(v.value());
    case Unary::Op::Not:
        if (v.value().type() != Value::Type::Boolean)
            return operators::cantMake(v.value(), "boolean");
        return Value::boolean(!v.value().asBoolean());
    default: // Get: the operand's value is what was asked for
        return v;
    }
}

Result<Value> Interpreter::evaluateBinary(const Binary& expr)
{
    auto left = evaluate(*expr.left);
    if (!left)
        return left;
    if (expr.op == BinaryOp::And || expr.op == BinaryOp::Or) {
        if (left.value().type() != Value::Type::Boolean)
            return operators::cantMake(left.value(), "boolean");
        // The right side runs only when it can change the answer.
        if (left.value().asBoolean() == (expr.op == BinaryOp::Or))
            return left;
    }
    auto right = evaluate(*expr.right);
    if (!right)
        return right;
    return operators::apply(expr.op, left.value(), right.value());
}

Result<Value> Interpreter::evaluateCommand(const Command& expr)
{
    ScriptableApplication* app = expr.target;
    std::optional<ObjectSpecifier> directObject;
    if (expr.directObject) {
        auto target = resolve(*expr.directObject);
        if (!target)
            return target.error();
        app = target.value().app;
        directObject = std::move(target.value().object);
    }
    if (auto e = ready(*app))
        return *e;
    auto reply = app->command(expr.term, directObject);
    if (!reply)
        return fromApplication(*app, reply.error());
    return reply;
}

// ------------------------------------------------------------ references

Result<Interpreter::Target> Interpreter::resolve(const Expr& expr)
{
    switch (expr.kind) {
    case Expr::Kind::Property:
    case Expr::Kind::Element:
        return resolveReference(static_cast<const ObjectRef&>(expr));
    case Expr::Kind::Application: {
        ScriptableApplication* app = static_cast<const ApplicationRef&>(expr).app;
        return Target{app, ObjectSpecifier{app->name(), {}}};
    }
    default: {
        auto v = evaluate(expr);
        if (!v)
            return v.error();
        return resolveValue(v.value());
    }
    }
}

Result<Interpreter::Target> Interpreter::resolveValue(const Value& v)
{
    if (v.type() != Value::Type::Object)
        return operators::cantMake(v, "reference");
    ScriptableApplication* app = m_apps.find(v.asObject().application);
    if (!app)
        return Error{errc::CantGet, "Can't get " + operators::describe(v) + "."};
    return Target{app, v.asObject()};
}

Result<Interpreter::Target> Interpreter::resolveReference(const ObjectRef& ref)
{
    Result<Target> base = Target{ref.target, {}};
    if (!ref.container) {
        base.value().object.application = ref.target->name();
    } else {
        Expr::Kind k = ref.container->kind;
        if (k == Expr::Kind::Property || k == Expr::Kind::Element || k == Expr::Kind::Application) {
            base = resolve(*ref.container);
        } else {
            auto v = evaluate(*ref.container);
            if (!v)
                return v.error();
            if (v.value().type() != Value::Type::Object)
                return Error{errc::CantGet, "Can't get " + ref.term + " of " + operators::describe(v.value()) + "."};
            base = resolveValue(v.value());
        }
        if (!base)
            return base;
    }

    script::Reference step;
    step.term = ref.term;
    if (ref.kind == Expr::Kind::Element) {
        auto key = evaluate(*ref.key);
        if (!key)
            return key.error();
        const Value& k = key.value();
        if (k.type() == Value::Type::Integer) {
            step.kind = script::Reference::Kind::ElementByIndex;
            step.index = k.asInteger();
        } else if (k.type() == Value::Type::Real && std::trunc(k.asReal()) == k.asReal()
                   && std::fabs(k.asReal()) < 9.0e18) {
            step.kind = script::Reference::Kind::ElementByIndex;
            step.index = static_cast<std::int64_t>(k.asReal());
        } else if (k.type() == Value::Type::Text) {
            step.kind = script::Reference::Kind::ElementByName;
            step.name = k.asText();
        } else {
            return operators::cantMake(k, "integer");
        }
    }
    base.value().object.path.push_back(std::move(step));
    return base;
}

std::optional<Error> Interpreter::ready(ScriptableApplication& app)
{
    if (app.isRunning())
        return std::nullopt;
    app.launch();
    if (app.isRunning())
        return std::nullopt;
    const std::string problem = app.launchProblem();
    return Error{errc::AppNotRunning, problem.empty() ? app.name() + " isn't running." : problem};
}

Error Interpreter::fromApplication(const ScriptableApplication& app, const Error& e) const
{
    return Error{e.number, app.name() + " got an error: " + (e.message.empty() ? "error " + std::to_string(e.number) + "." : e.message)};
}

} // namespace script
