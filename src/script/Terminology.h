#pragma once

#include "script/Dictionary.h"
#include "script/Token.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace script {

// A dictionary made ready for the parser: its terms split into words and
// indexed by their first word, so a term of several words ("player state",
// "next track") is found at the token that starts it, longest first.
class Terminology {
public:
    enum class Kind { Property, Element, Command, Enumerator };

    struct Match {
        Kind kind;
        const std::string* term; // the dictionary's own spelling
        std::size_t words;       // tokens the term spans
    };

    explicit Terminology(const Dictionary& dictionary);

    // The longest term that starts at tokens[at], if any. When a term is
    // both an element and something else, it is read as the element only
    // where a key follows (`track 3`, `process "Finder"`).
    std::optional<Match> match(const std::vector<Token>& tokens, std::size_t at) const;

private:
    struct Entry {
        std::vector<std::string> words; // folded to lower case
        Kind kind;
        const std::string* term;
    };
    void add(const std::vector<std::string>& terms, Kind kind);

    std::unordered_map<std::string, std::vector<Entry>> m_byFirstWord;
};

// Lower-cases ASCII letters: keywords, terms and variables ignore case.
std::string foldCase(std::string_view word);
// Compares without regard to ASCII case, as application names are matched.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

} // namespace script
