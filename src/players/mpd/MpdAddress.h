#pragma once

#include <optional>
#include <string>

namespace players {

// Where an MPD server listens, as a user writes it after "mpd:": "HOST",
// "HOST:PORT", ":PORT", "PASSWORD@HOST", a socket path or "" for the
// defaults. An empty host and port 0 leave the choice to the client
// library, which reads MPD_HOST and MPD_PORT as mpc does (a local socket,
// else localhost:6600).
struct MpdAddress {
    std::string host;
    unsigned port = 0;
    std::string password;

    // Nullopt for a port that is not a number from 1 to 65535.
    static std::optional<MpdAddress> parse(const std::string& text);

    // The server runs on this machine, so launching it here makes sense.
    // Resolves the defaults from the environment first.
    bool isLocal() const;
};

} // namespace players
