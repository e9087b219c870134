#pragma once

#include <string>
#include <variant>
#include <vector>

namespace players {

// How this machine starts the user's MPD server: through its systemd user
// unit where one is installed, else the mpd program with the configuration
// mpd itself would read. Only looks at files; starts nothing.
struct MpdLauncher {
    // Where a unit named mpd.service may be installed.
    std::vector<std::string> unitFolders;
    // The configuration files mpd reads, in its own order.
    std::vector<std::string> configFiles;
    // Where the programs (mpd, systemctl) are looked for.
    std::vector<std::string> programFolders;

    // The places of the current user: XDG_CONFIG_HOME, HOME and PATH.
    static MpdLauncher forCurrentUser();

    // The command that starts the server (program path first), else why it
    // cannot be started, in words for the user.
    std::variant<std::vector<std::string>, std::string> command() const;
};

} // namespace players
