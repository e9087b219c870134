#pragma once

#include <optional>
#include <string>

namespace kit {

// Starting the application at login, the freedesktop way: a desktop entry in
// $XDG_CONFIG_HOME/autostart named after the bundle identifier. Whether the
// application starts at login is that file's presence, so a change made
// outside the application (a desktop's session settings) shows too.
class LoginItem {
public:
    static std::string path();
    static bool isEnabled();
    // Writes or removes the entry; the path and the system's reason when
    // that failed, nothing otherwise.
    static std::optional<std::string> setEnabled(bool enabled);

    // The entry's text for a program at `executable`.
    static std::string entryText(const std::string& executable);
};

} // namespace kit
