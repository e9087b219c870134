#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kit {

class PlistValue;
using PlistArray = std::vector<PlistValue>;
using PlistDictionary = std::map<std::string, PlistValue>;
struct PlistData {
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const PlistData&, const PlistData&) = default;
};
struct PlistDate {
    std::string iso8601; // kept as written, e.g. "2026-12-08T14:23:00Z"
    friend bool operator==(const PlistDate&, const PlistDate&) = default;
};

// One value of an XML property list.
class PlistValue {
public:
    using Variant = std::variant<std::string, std::int64_t, double, bool, PlistArray, PlistDictionary, PlistData, PlistDate>;

    PlistValue() : m_v(std::string()) {}
    PlistValue(std::string s) : m_v(std::move(s)) {}
    PlistValue(const char* s) : m_v(std::string(s)) {}
    PlistValue(std::int64_t i) : m_v(i) {}
    PlistValue(int i) : m_v(std::int64_t(i)) {}
    PlistValue(double d) : m_v(d) {}
    PlistValue(bool b) : m_v(b) {}
    PlistValue(PlistArray a) : m_v(std::move(a)) {}
    PlistValue(PlistDictionary d) : m_v(std::move(d)) {}
    PlistValue(PlistData d) : m_v(std::move(d)) {}
    PlistValue(PlistDate d) : m_v(std::move(d)) {}

    const Variant& variant() const { return m_v; }
    template <class T> bool is() const { return std::holds_alternative<T>(m_v); }
    template <class T> const T& get() const { return std::get<T>(m_v); }
    template <class T> const T* getIf() const { return std::get_if<T>(&m_v); }

    friend bool operator==(const PlistValue&, const PlistValue&) = default;

private:
    Variant m_v;
};

struct PlistError {
    std::string message;
    int line = 0;
    int column = 0;
};

namespace plist {

// Parses an XML property list (the standard Apple DOCTYPE format). Never
// throws; malformed input yields an error with its place.
std::variant<PlistValue, PlistError> parse(const std::string& bytes);

// Serialises to the standard XML property-list format, UTF-8.
std::string serialize(const PlistValue& value);

// Reads and parses a file; an unreadable file is an error too.
std::variant<PlistValue, PlistError> readFile(const std::string& path);

// Writes atomically: a temporary file beside the target, fsync, rename.
// False (and the target untouched) on any failure, with the system's reason
// ("Permission denied") in `reason` when one is given.
bool writeFileAtomically(const std::string& path, const PlistValue& value, std::string* reason = nullptr);

// Reads the decimal number at the start of `text` ("-2.5e3x" gives -2500)
// whatever the locale; `used` gets the characters taken, 0 when there is no
// number (and the result is then 0). Beyond the range of a double the result
// is an infinity or a zero of the right sign.
double readDecimal(std::string_view text, std::size_t& used);

} // namespace plist
} // namespace kit
