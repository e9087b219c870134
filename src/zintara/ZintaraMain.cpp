#include "zintara/ZintaraMain.h"

#include "kit/Alert.h"
#include "kit/Application.h"
#include "kit/ApplicationHost.h"
#include "kit/UserDefaults.h"
#include "players/PlayerFactory.h"
#include "zintara/Zintara.h"

#include <iostream>
#include <string>

namespace {
constexpr const char* kUsage =
    "usage: zintara [--player PLAYER] [--library FILE]\n"
    "  --player PLAYER   the player the scripts call \"iTunes\": auto (the default), builtin,\n"
    "                    mpd[:HOST[:PORT]] or mpris[:NAME]; else ZINTARA_PLAYER, else the\n"
    "                    preferences' choice\n"
    "  --library FILE  a library file for the built-in player (JSON)\n";

// Shown where a user who started the program from a menu would look.
void reportStartFailure(const std::string& message)
{
    std::cerr << "zintara: " << message << '\n';
    kit::Alert::alertWithMessageText("Zintara could not start", "OK", std::nullopt, std::nullopt, message).runModal();
}
} // namespace

int zintaraMain(int argc, char** argv)
{
    players::PlayerOptions options;
    std::string playerArgument;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg != "--player" && arg != "--library") {
            std::cerr << "zintara: unknown option " << arg << '\n' << kUsage;
            return 2;
        }
        if (i + 1 >= argc) {
            std::cerr << "zintara: " << arg << " needs a value\n" << kUsage;
            return 2;
        }
        (arg == "--player" ? playerArgument : options.libraryPath) = argv[++i];
    }

    kit::ApplicationHost host(argc, argv);
    options.player = players::effectivePlayerChoice(
        playerArgument, kit::UserDefaults::standardUserDefaults().stringForKey("player").value_or(""));

    auto made = players::PlayerFactory::make(options);
    if (auto* message = std::get_if<std::string>(&made)) {
        reportStartFailure(*message);
        return 1;
    }
    const auto& directory = std::get<std::unique_ptr<players::PlayerDirectory>>(made);

    Zintara controller(*directory);
    std::string error;
    if (!controller.loadInterface(&error)) {
        reportStartFailure(error);
        return 1;
    }

    // A settings file that could not be read was moved aside; say so once,
    // since the launch goes on as a first launch.
    if (const auto& problem = kit::UserDefaults::standardUserDefaults().loadProblem()) {
        std::cerr << "zintara: " << *problem << '\n';
        kit::Alert::alertWithMessageText("Your Zintara settings could not be read", "OK", std::nullopt, std::nullopt,
                                         *problem + "\n\nZintara starts with its default settings.")
            .runModal();
    }

    kit::Application& app = kit::Application::sharedApplication();
    app.setDelegate(&controller);
    app.installSignalHandlers();
    return app.run();
}
