#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

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

    // The places to try, in order, each a host (or socket path) and a
    // port: the address given, else MPD_HOST and MPD_PORT, else the client
    // library's socket path and then localhost, as mpc tries them.
    std::vector<std::pair<std::string, unsigned>> targets() const;

    // The server runs on this machine, so launching it here makes sense.
    // Resolves the defaults from the environment first.
    bool isLocal() const;
};

} // namespace players
