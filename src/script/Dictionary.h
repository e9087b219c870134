#pragma once

#include <string>
#include <vector>

namespace script {

// The terms an application understands. Scripts name them in plain words,
// several words to a term ("player state", "next track"); the compiler
// resolves them against the dictionary of the application a `tell`
// addresses, longest term first.
struct Dictionary {
    std::vector<std::string> properties;  // "player state", "name", "current track"
    std::vector<std::string> elements;    // element classes: "track", "process"
    std::vector<std::string> commands;    // "play", "next track", "quit"
    std::vector<std::string> enumerators; // "playing", "paused", "off", "one", "all"
};

} // namespace script
