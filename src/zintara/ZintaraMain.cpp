#include "zintara/ZintaraMain.h"

#include "kit/Alert.h"
#include "kit/Application.h"
#include "kit/ApplicationHost.h"
#include "kit/UserDefaults.h"
#include "players/PlayerFactory.h"
#include "zintara/Zintara.h"

#include <iostream>
#include <optional>
#include <string>

namespace {
constexpr const char* kUsage =
    "usage: zintara [--player PLAYER] [--library FILE] [Qt options]\n"
    "  --player PLAYER  the player the scripts call \"iTunes\": auto (the default), builtin,\n"
    "                   mpd[:HOST[:PORT]] or mpris[:NAME]; else ZINTARA_PLAYER, else the\n"
    "                   preferences' choice\n"
    "  --library FILE   a library file for the built-in player (JSON)\n"
    "  --help           show this help and exit\n"
    "  --version        show the version and exit\n"
    "Qt's own options (-style NAME, -session ID, -display DISPLAY, ...) are accepted.\n";

// Shown where a user who started the program from a menu would look.
void reportStartFailure(const std::string& message)
{
    std::cerr << "zintara: " << message << '\n';
    kit::Alert::alertWithMessageText("Zintara could not start", "OK", std::nullopt, std::nullopt, message).runModal();
}

// --help and --version answer before the application object exists, so
// they work without a display. Their values (after --player or --library)
// are not options.
std::optional<int> answerInformationalOption(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--player" || arg == "--library") {
            ++i;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--version") {
            std::cout << "zintara " << ZINTARA_VERSION << '\n';
            return 0;
        }
    }
    return std::nullopt;
}

// Reads the program's own options, stepping over the platform's (with their
// values), before anything needs a display: a wrong command line is a usage
// error wherever it runs. An error message when something is unknown.
std::string parseOptions(int argc, char** argv, std::string& player, std::string& library)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--player" || arg == "--library") {
            if (i + 1 >= argc)
                return arg + " needs a value";
            (arg == "--player" ? player : library) = argv[++i];
        } else if (const auto values = kit::ApplicationHost::platformOptionValues(arg)) {
            i += *values;
        } else {
            return "unknown option " + arg;
        }
    }
    return {};
}
} // namespace

int zintaraMain(int argc, char** argv)
{
    if (const auto status = answerInformationalOption(argc, argv))
        return *status;
    players::PlayerOptions options;
    std::string playerArgument;
    if (const std::string problem = parseOptions(argc, argv, playerArgument, options.libraryPath); !problem.empty()) {
        std::cerr << "zintara: " << problem << '\n' << kUsage;
        return 2;
    }
    if (const auto problem = kit::ApplicationHost::displayProblem(argc, argv)) {
        std::cerr << "zintara: " << *problem << '\n';
        return 1;
    }

    kit::ApplicationHost host(argc, argv);
    options.player = players::effectivePlayerChoice(
        playerArgument, kit::UserDefaults::standardUserDefaults().stringForKey("player").value_or(""));

    auto made = players::PlayerFactory::make(options);
    if (auto* message = std::get_if<std::string>(&made); message && !players::playerChoiceOverridden(playerArgument)) {
        // A stored choice that cannot be built must not keep the program,
        // and with it the preferences window, from starting.
        std::cerr << "zintara: the stored player \"" << options.player << "\" cannot be used (" << *message
                  << "); choosing automatically\n";
        options.player = "auto";
        made = players::PlayerFactory::make(options);
    }
    if (auto* message = std::get_if<std::string>(&made)) {
        reportStartFailure(*message);
        return 1;
    }
    const auto& directory = std::get<std::unique_ptr<players::PlayerDirectory>>(made);

    Zintara controller(*directory);
    if (!players::playerChoiceOverridden(playerArgument))
        controller.allowPlayerSwitch(*directory, options);
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
