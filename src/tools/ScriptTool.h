#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tools {

// zintara-script: runs scripts against the applications Zintara talks to,
// to show what Zintara will see.
//
//   zintara-script [--player PLAYER] [--library FILE] [-e SOURCE]... [FILE]...
//
// Each -e SOURCE and each FILE ("-" for standard input) is one script; with
// none, standard input is. They run in command-line order, in one process,
// against the same applications. Each prints one line on standard output:
// its result's text, or an empty line when it gives no value or fails. A
// failure also prints "error N: message" on standard error (with the line
// and column of a compile error, and the file's name for a FILE). Exit
// status: 0, 1 when any script failed, 2 for a wrong command line or a
// player that cannot be set up.
class ScriptTool {
public:
    static int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream& in);

    static const char* usage();
};

} // namespace tools
