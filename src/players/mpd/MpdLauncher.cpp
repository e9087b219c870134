#include "players/mpd/MpdLauncher.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace players {

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool isFile(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

std::string findProgram(const std::vector<std::string>& folders, const std::string& name)
{
    for (const std::string& folder : folders) {
        const std::string path = folder + "/" + name;
        if (isFile(path) && ::access(path.c_str(), X_OK) == 0)
            return path;
    }
    return {};
}

} // namespace

MpdLauncher MpdLauncher::forCurrentUser()
{
    MpdLauncher launcher;
    const std::string home = environment("HOME");
    std::string config = environment("XDG_CONFIG_HOME");
    if (config.empty() && !home.empty())
        config = home + "/.config";
    if (!config.empty())
        launcher.unitFolders.push_back(config + "/systemd/user");
    if (!home.empty())
        launcher.unitFolders.push_back(home + "/.local/share/systemd/user");
    for (const char* folder : {"/etc/systemd/user", "/usr/local/lib/systemd/user", "/usr/lib/systemd/user",
                               "/lib/systemd/user"})
        launcher.unitFolders.push_back(folder);

    if (!config.empty())
        launcher.configFiles.push_back(config + "/mpd/mpd.conf");
    if (!home.empty()) {
        launcher.configFiles.push_back(home + "/.mpdconf");
        launcher.configFiles.push_back(home + "/.mpd/mpd.conf");
    }
    launcher.configFiles.push_back("/etc/mpd.conf");

    std::istringstream path(environment("PATH"));
    for (std::string folder; std::getline(path, folder, ':');) {
        if (!folder.empty())
            launcher.programFolders.push_back(folder);
    }
    return launcher;
}

std::variant<std::vector<std::string>, std::string> MpdLauncher::command() const
{
    bool hasUnit = false;
    for (const std::string& folder : unitFolders)
        hasUnit = hasUnit || isFile(folder + "/mpd.service");
    bool hasConfig = false;
    for (const std::string& file : configFiles)
        hasConfig = hasConfig || isFile(file);
    const std::string systemctl = findProgram(programFolders, "systemctl");
    const std::string mpd = findProgram(programFolders, "mpd");

    if (hasUnit && !systemctl.empty()) {
        // A user manager that cannot start the unit still leaves the
        // user's own configuration to try.
        const std::string fallback = hasConfig && !mpd.empty() ? " || exec mpd" : "";
        return std::vector<std::string>{"/bin/sh", "-c", "systemctl --user start mpd.service 2>/dev/null" + fallback};
    }
    if (hasConfig && !mpd.empty())
        return std::vector<std::string>{mpd};
    if (hasConfig)
        return std::string("The mpd program is not installed.");
    return std::string("MPD has no systemd user unit (mpd.service) and no configuration file (such as "
                       "~/.config/mpd/mpd.conf or /etc/mpd.conf) on this machine. Set up MPD, or start it yourself.");
}

} // namespace players
