#include "tools/ScriptTool.h"

#include "kit/UserDefaults.h"
#include "players/PlayerFactory.h"
#include "script/Script.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace tools {

namespace {

struct Source {
    bool isFile = false;
    std::string text; // the source, or the file's path
};

struct CommandLine {
    players::PlayerOptions options;
    std::string player; // as given; empty when not
    std::vector<Source> sources;
    bool help = false;
    bool version = false;
};

// Parses the arguments; an error message when they make no sense.
std::string parse(const std::vector<std::string>& args, CommandLine& line)
{
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            line.sources.push_back({true, arg});
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            line.help = true;
            continue;
        }
        if (arg == "--version") {
            line.version = true;
            continue;
        }
        // Options with a value: "--player PLAYER" or "--player=PLAYER".
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        if (name != "--player" && name != "--library" && name != "-e")
            return "unknown option " + arg;
        if (!hasValue) {
            if (i + 1 >= args.size())
                return "option " + name + " needs a value";
            value = args[++i];
        }
        if (name == "--player")
            line.player = value;
        else if (name == "--library")
            line.options.libraryPath = value;
        else
            line.sources.push_back({false, value});
    }
    return {};
}

bool readSource(const Source& source, std::istream& in, std::string& text)
{
    if (!source.isFile) {
        text = source.text;
        return true;
    }
    std::ostringstream bytes;
    if (source.text == "-") {
        bytes << in.rdbuf();
    } else {
        std::ifstream file(source.text, std::ios::binary);
        if (!file)
            return false;
        bytes << file.rdbuf();
        if (file.bad())
            return false;
    }
    text = bytes.str();
    return true;
}

void printError(std::ostream& err, const Source& source, const script::Error& e)
{
    if (source.isFile)
        err << (source.text == "-" ? "(standard input)" : source.text) << ": ";
    err << "error " << e.number << ": " << e.message;
    if (e.line > 0)
        err << " (line " << e.line << ", column " << e.column << ")";
    err << '\n';
}

} // namespace

const char* ScriptTool::usage()
{
    return "usage: zintara-script [--player PLAYER] [--library FILE] [-e SOURCE]... [FILE]...\n"
           "Runs each script in order against the player and prints one line per script:\n"
           "its result, or an empty line when there is none. Errors go to standard error.\n"
           "  --player PLAYER  the player behind \"iTunes\": auto, builtin, mpd[:HOST[:PORT]]\n"
           "                   or mpris[:NAME]; else ZINTARA_PLAYER, else Zintara's setting,\n"
           "                   else auto\n"
           "  --library FILE   a JSON library file for the built-in player\n"
           "  -e SOURCE        a script given on the command line\n"
           "  --help           show this help; --version: show the version\n"
           "  FILE             a script file; \"-\" or no script at all reads standard input\n"
           "Exit status: 0; 1 when a script failed; 2 for a usage or setup error.\n";
}

int ScriptTool::run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream& in)
{
    CommandLine line;
    if (const std::string problem = parse(args, line); !problem.empty()) {
        err << "zintara-script: " << problem << '\n' << usage();
        return 2;
    }
    if (line.help) {
        out << usage();
        return 0;
    }
    if (line.version) {
        out << "zintara-script " << ZINTARA_VERSION << '\n';
        return 0;
    }
    if (line.sources.empty())
        line.sources.push_back({true, "-"});

    line.options.player = players::effectivePlayerChoice(
        line.player, kit::UserDefaults::standardUserDefaults().stringForKey("player").value_or(""));
    auto made = players::PlayerFactory::make(line.options);
    if (auto* problem = std::get_if<std::string>(&made)) {
        err << "zintara-script: " << *problem << '\n';
        return 2;
    }
    const auto& directory = *std::get<std::unique_ptr<players::PlayerDirectory>>(made);

    int status = 0;
    for (const Source& source : line.sources) {
        std::string text;
        if (!readSource(source, in, text)) {
            err << "zintara-script: cannot read " << source.text << '\n';
            out << '\n';
            status = 1;
            continue;
        }
        // Each script is a poll of its own: a player that gave up on a silent
        // peer tries again, the automatic player looks again.
        if (players::Player* player = directory.player())
            player->beginPoll();
        script::Script script(std::move(text), directory);
        auto result = script.execute();
        if (!result.ok()) {
            printError(err, source, result.error());
            status = 1;
        } else if (auto value = result.value().stringValue()) {
            out << *value;
        }
        out << '\n';
        out.flush();
    }
    return status;
}

} // namespace tools
