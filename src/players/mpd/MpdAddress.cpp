#include "players/mpd/MpdAddress.h"

#include <mpd/settings.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace players {

std::optional<MpdAddress> MpdAddress::parse(const std::string& text)
{
    MpdAddress address;
    std::string rest = text;
    // A leading '@' is an abstract socket, not a password.
    const auto at = rest.find('@');
    if (at != std::string::npos && at > 0 && rest[0] != '/') {
        address.password = rest.substr(0, at);
        rest = rest.substr(at + 1);
    }
    // A socket path keeps any colon it has.
    const auto colon = rest[0] == '/' || rest[0] == '@' ? std::string::npos : rest.rfind(':');
    if (colon != std::string::npos) {
        const std::string port = rest.substr(colon + 1);
        if (port.empty() || port.size() > 5 || !std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); }))
            return std::nullopt;
        const unsigned value = unsigned(std::stoul(port));
        if (value == 0 || value > 65535)
            return std::nullopt;
        address.port = value;
        rest = rest.substr(0, colon);
    }
    address.host = rest;
    return address;
}

std::vector<std::pair<std::string, unsigned>> MpdAddress::targets() const
{
    std::string resolvedHost = host;
    unsigned resolvedPort = port;
    if (resolvedHost.empty() || resolvedPort == 0) {
        if (mpd_settings* settings = mpd_settings_new(host.empty() ? nullptr : host.c_str(), port, 0, nullptr, nullptr)) {
            if (resolvedHost.empty() && mpd_settings_get_host(settings))
                resolvedHost = mpd_settings_get_host(settings);
            if (resolvedPort == 0)
                resolvedPort = mpd_settings_get_port(settings);
            mpd_settings_free(settings);
        }
    }
    std::vector<std::pair<std::string, unsigned>> found;
    if (!resolvedHost.empty())
        found.emplace_back(resolvedHost, resolvedPort ? resolvedPort : 6600);

    const char* envHost = std::getenv("MPD_HOST");
    const bool hostGiven = !host.empty() || (envHost && *envHost);
    if (!hostGiven && resolvedHost != "localhost") {
        // The socket's settings carry no port; localhost takes MPD_PORT's.
        unsigned localPort = port;
        if (localPort == 0) {
            if (mpd_settings* settings = mpd_settings_new("localhost", 0, 0, nullptr, nullptr)) {
                localPort = mpd_settings_get_port(settings);
                mpd_settings_free(settings);
            }
        }
        found.emplace_back("localhost", localPort ? localPort : 6600);
    }
    return found;
}

bool MpdAddress::isLocal() const
{
    const auto places = targets();
    const std::string& resolved = places.empty() ? std::string() : places.front().first;
    return resolved.empty() || resolved[0] == '/' || resolved[0] == '@' || resolved == "localhost"
        || resolved == "127.0.0.1" || resolved == "::1";
}

} // namespace players
