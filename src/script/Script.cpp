#include "script/Script.h"

#include "script/Interpreter.h"
#include "script/Lexer.h"
#include "script/Parser.h"
#include "script/Syntax.h"

namespace script {

Script::Script(std::string source, const ApplicationDirectory& apps)
    : m_source(std::move(source))
    , m_apps(&apps)
{
}

Script::~Script() = default;
Script::Script(Script&&) noexcept = default;
Script& Script::operator=(Script&&) noexcept = default;

std::optional<Error> Script::compile()
{
    if (m_program)
        return std::nullopt;
    auto tokens = Lexer(m_source).tokenize();
    if (!tokens)
        return tokens.error();
    auto program = Parser(std::move(tokens.value()), *m_apps).parse();
    if (!program)
        return program.error();
    m_program = std::move(program.value());
    return std::nullopt;
}

Result<Value> Script::execute()
{
    if (auto e = compile())
        return *e;
    return Interpreter(*m_program, *m_apps).run();
}

} // namespace script
