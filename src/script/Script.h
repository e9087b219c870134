#pragma once

#include "script/Error.h"
#include "script/ScriptableApplication.h"
#include "script/Value.h"

#include <memory>
#include <optional>
#include <string>

namespace script {

namespace syntax {
struct Program;
}

// A script the host compiles once and runs many times. Compiling reads
// the dictionaries of the applications it names (without launching them);
// running talks to them. Errors come back as values, never as crashes,
// whatever the source. The application directory must outlive the script.
class Script {
public:
    Script(std::string source, const ApplicationDirectory& apps);
    ~Script();
    Script(Script&&) noexcept;
    Script& operator=(Script&&) noexcept;

    // Compiles the source unless it is compiled already. A source that
    // failed is compiled again on the next call.
    std::optional<Error> compile();
    bool isCompiled() const { return m_program != nullptr; }

    // Runs the script, compiling it first if needed. The result's
    // typeCode() is 0 when the script gave no value.
    Result<Value> execute();

    const std::string& source() const { return m_source; }

private:
    std::string m_source;
    const ApplicationDirectory* m_apps;
    std::unique_ptr<syntax::Program> m_program;
};

} // namespace script
