#include "players/PlayerFactory.h"

#include "players/AutoPlayer.h"
#include "players/BuiltinPlayer.h"
#include "players/DemoLibrary.h"
#include "players/LibraryReader.h"
#include "players/mpd/MpdPlayer.h"
#include "players/mpris/MprisBus.h"
#include "players/mpris/MprisPlayer.h"

#include <cstdlib>
#include <random>

namespace players {

namespace {

const char* const kKnown = "known: auto, builtin, mpd[:HOST[:PORT]], mpris[:NAME]";

struct Choice {
    std::string kind;
    std::string address;
    bool hasAddress = false;
};

Choice split(const std::string& choice)
{
    const std::string::size_type colon = choice.find(':');
    return {choice.substr(0, colon), colon == std::string::npos ? "" : choice.substr(colon + 1),
            colon != std::string::npos};
}

std::variant<std::unique_ptr<BuiltinPlayer>, std::string> makeBuiltin(const PlayerOptions& options)
{
    Library library = demoLibrary();
    if (!options.libraryPath.empty()) {
        auto read = LibraryReader::readFile(options.libraryPath);
        if (auto* error = std::get_if<LibraryError>(&read))
            return error->text();
        library = std::move(std::get<Library>(read));
    }
    const std::uint32_t seed = options.shuffleSeed ? *options.shuffleSeed : std::random_device{}();
    return std::make_unique<BuiltinPlayer>(options.name, std::move(library), seed);
}

} // namespace

std::string effectivePlayerChoice(const std::string& commandLine, const std::string& stored)
{
    if (!commandLine.empty())
        return commandLine;
    if (const char* env = std::getenv("ZINTARA_PLAYER"); env && *env)
        return env;
    // The stored setting comes from the preferences window; one edited by
    // hand into something unknown must not keep the program from starting.
    if (!stored.empty() && !checkPlayerChoice(stored))
        return stored;
    return "auto";
}

bool playerChoiceOverridden(const std::string& commandLine)
{
    const char* env = std::getenv("ZINTARA_PLAYER");
    return !commandLine.empty() || (env && *env);
}

std::optional<std::string> checkPlayerChoice(const std::string& choice)
{
    const Choice c = split(choice);
    if (c.kind == "builtin" || c.kind == "auto") {
        if (c.hasAddress)
            return "the " + c.kind + " player takes no address: \"" + choice + "\"";
        return std::nullopt;
    }
    if (c.kind == "mpd") {
        if (!MpdAddress::parse(c.address))
            return "not an MPD address (HOST, HOST:PORT or a socket path): \"" + c.address + "\"";
        return std::nullopt;
    }
    if (c.kind == "mpris") {
        if (c.hasAddress && c.address.empty())
            return "an MPRIS player needs a name after \"mpris:\"";
        return c.hasAddress ? MprisPlayer::checkName(c.address) : std::nullopt;
    }
    return "unknown player \"" + choice + "\" (" + kKnown + ")";
}

std::variant<std::unique_ptr<PlayerDirectory>, std::string> PlayerFactory::make(const PlayerOptions& options)
{
    auto made = makePlayer(options);
    if (auto* problem = std::get_if<std::string>(&made))
        return *problem;
    auto directory = std::make_unique<PlayerDirectory>();
    directory->setPlayer(std::move(std::get<std::unique_ptr<Player>>(made)));
    return directory;
}

std::variant<std::unique_ptr<Player>, std::string> PlayerFactory::makePlayer(const PlayerOptions& options)
{
    if (auto problem = checkPlayerChoice(options.player))
        return *problem;
    const Choice choice = split(options.player);

    if (choice.kind == "mpris") {
        auto chosen = MprisPlayer::choose(options.name, choice.address);
        if (auto* problem = std::get_if<std::string>(&chosen))
            return *problem;
        return std::unique_ptr<Player>(std::move(std::get<std::unique_ptr<MprisPlayer>>(chosen)));
    }
    if (choice.kind == "mpd")
        return std::unique_ptr<Player>(std::make_unique<MpdPlayer>(options.name, *MpdAddress::parse(choice.address)));

    auto builtin = makeBuiltin(options);
    if (auto* problem = std::get_if<std::string>(&builtin))
        return *problem;
    auto& made = std::get<std::unique_ptr<BuiltinPlayer>>(builtin);
    if (choice.kind == "builtin")
        return std::unique_ptr<Player>(std::move(made));

    AutoPlayer::Sources sources;
    sources.listBusPlayers = [](const PollBudget& budget) {
        std::vector<AutoPlayer::BusPlayer> list;
        for (const MprisPeer& peer : listMprisPlayers(budget))
            list.push_back({peer.busName, peer.playbackStatus == "Playing"});
        return list;
    };
    const std::string name = options.name;
    sources.makeBusPlayer = [name](const std::string& busName) -> std::unique_ptr<Player> {
        return std::make_unique<MprisPlayer>(name, busName);
    };
    kit::WorkspaceApplication* builtinEntry = &made->player();
    auto automatic = std::make_unique<AutoPlayer>(options.name, std::make_unique<MpdPlayer>(options.name, MpdAddress{}),
                                                  std::move(made), std::move(sources), builtinEntry);
    automatic->beginPoll();
    return std::unique_ptr<Player>(std::move(automatic));
}

} // namespace players
