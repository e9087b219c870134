#pragma once

#include <string>
#include <utility>
#include <variant>

namespace script {

// Error numbers the scripts and their hosts agree on.
namespace errc {
inline constexpr int CantGet = -1728;          // an object that cannot be got
inline constexpr int CantSet = -10006;         // a property that cannot be set
inline constexpr int DoesNotUnderstand = -1708; // a command an object does not understand
inline constexpr int CantMakeType = -1700;     // a value that cannot become the wanted type
inline constexpr int UndefinedVariable = -2753;
inline constexpr int DivisionByZero = -2701;
inline constexpr int NumericOverflow = -2702;  // a result too large for a number
inline constexpr int OutOfMemory = -108;       // a text grown past the engine's limit
inline constexpr int AppNotRunning = -600;
inline constexpr int AppNotFound = -43;        // no application of that name
inline constexpr int Syntax = -2741;           // compile error: unexpected token
inline constexpr int SyntaxExpected = -2740;   // compile error: something expected
inline constexpr int StackOverflow = -2706;
inline constexpr int Timeout = -1712;          // the application did not answer in time
} // namespace errc

// An error from compiling or running a script. Compile errors carry the
// 1-based line and column of the fault; run-time errors leave them at 0.
struct Error {
    int number = 0;
    std::string message;
    int line = 0;
    int column = 0;
};

// A value or an error: how the engine and the applications report failure.
// A layer below the applications may fail in terms of its own (`E`), for
// its application to put into words.
template <class T, class E = Error>
class Result {
public:
    Result(T value) : m_v(std::move(value)) {}
    Result(E error) : m_v(std::move(error)) {}

    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<0>(m_v); }
    T& value() { return std::get<0>(m_v); }
    const E& error() const { return std::get<1>(m_v); }

private:
    std::variant<T, E> m_v;
};

} // namespace script
