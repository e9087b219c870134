#include "kit/ApplicationHost.h"

#include <QApplication>

#include <cstdlib>
#include <string_view>

namespace kit {

struct ApplicationHost::Private {
    Private(int& argc, char** argv) : app(argc, argv) {}
    QApplication app;
};

ApplicationHost::ApplicationHost(int& argc, char** argv)
{
    QApplication::setApplicationName("Zintara");
    // Matches the installed desktop entry, so taskbars find the icon.
    QApplication::setDesktopFileName("org.zintara.Zintara");
    d = std::make_unique<Private>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
}

ApplicationHost::~ApplicationHost() = default;

std::optional<std::string> ApplicationHost::displayProblem(int argc, char** argv)
{
    bool displayArgument = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-platform" || arg == "--platform")
            return std::nullopt; // the user's choice
        displayArgument = displayArgument || arg == "-display" || arg == "--display";
    }
    if (const char* platform = std::getenv("QT_QPA_PLATFORM"); platform && *platform)
        return std::nullopt;
    const char* display = std::getenv("DISPLAY");
    if ((display && *display) || displayArgument) {
        // Under a Wayland session this is XWayland: there the strip can be a
        // dock that reserves its place, which Wayland itself would not allow.
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        return std::nullopt;
    }
    if (const char* wayland = std::getenv("WAYLAND_DISPLAY"); wayland && *wayland) {
        return "cannot show the status bar: it needs an X11 display, and this Wayland session has none "
               "(DISPLAY is not set). Enable XWayland in your desktop, or start Zintara in an X11 session.";
    }
    return "cannot show the status bar: no display (DISPLAY is not set). Start Zintara from a graphical "
           "X11 session.";
}

} // namespace kit
