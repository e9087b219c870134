#include "players/mpd/MpdAddress.h"

#include <mpd/settings.h>

#include <algorithm>
#include <cctype>

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

bool MpdAddress::isLocal() const
{
    std::string resolved = host;
    if (resolved.empty()) {
        if (mpd_settings* settings = mpd_settings_new(nullptr, port, 0, nullptr, nullptr)) {
            if (const char* h = mpd_settings_get_host(settings))
                resolved = h;
            mpd_settings_free(settings);
        }
    }
    return resolved.empty() || resolved[0] == '/' || resolved[0] == '@' || resolved == "localhost"
        || resolved == "127.0.0.1" || resolved == "::1";
}

} // namespace players
