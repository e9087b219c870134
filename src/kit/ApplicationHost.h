#pragma once

#include <memory>
#include <optional>
#include <string>

namespace kit {

// Owns the platform's application object for the life of main(): creates
// it, names the program, and keeps it running when its last window closes
// (the marquee lives in the status bar, not in a window).
class ApplicationHost {
public:
    // Takes the platform's own options (-style, -session, -display, ...) out
    // of argc and argv, leaving the program's.
    ApplicationHost(int& argc, char** argv);
    ~ApplicationHost();
    ApplicationHost(const ApplicationHost&) = delete;
    ApplicationHost& operator=(const ApplicationHost&) = delete;

    // Why no window could be shown, before trying: the strip needs an X11
    // display (under Wayland, XWayland's), since Qt here offers no way to
    // place a panel on Wayland itself. Picks the X11 platform when DISPLAY
    // is set and no platform was chosen.
    static std::optional<std::string> displayProblem(int argc, char** argv);

    // How many arguments one of the platform's own options takes after it
    // (0 or 1), or nothing when `arg` is not one of them; the program reads
    // its command line before there is an application object to ask.
    static std::optional<int> platformOptionValues(const std::string& arg);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace kit
