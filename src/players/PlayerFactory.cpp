#include "players/PlayerFactory.h"

#include "players/BuiltinPlayer.h"
#include "players/DemoLibrary.h"
#include "players/LibraryReader.h"

#include <random>

namespace players {

std::variant<std::unique_ptr<PlayerDirectory>, std::string> PlayerFactory::make(const PlayerOptions& options)
{
    const std::string::size_type colon = options.player.find(':');
    const std::string kind = options.player.substr(0, colon);
    const std::string address = colon == std::string::npos ? "" : options.player.substr(colon + 1);

    if (kind != "builtin")
        return "unknown player \"" + options.player + "\" (known: builtin)";
    if (colon != std::string::npos)
        return "the built-in player takes no address: \"" + options.player + "\"";

    Library library = demoLibrary();
    if (!options.libraryPath.empty()) {
        auto read = LibraryReader::readFile(options.libraryPath);
        if (auto* error = std::get_if<LibraryError>(&read))
            return error->text();
        library = std::move(std::get<Library>(read));
    }
    const std::uint32_t seed = options.shuffleSeed ? *options.shuffleSeed : std::random_device{}();
    auto directory = std::make_unique<PlayerDirectory>();
    directory->setPlayer(std::make_unique<BuiltinPlayer>(options.name, std::move(library), seed));
    return directory;
}

} // namespace players
