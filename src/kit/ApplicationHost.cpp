#include "kit/ApplicationHost.h"

#include "kit/Bundle.h"

#include <QApplication>
#include <QIcon>

#include <cstdlib>
#include <string_view>

namespace kit {

namespace {
// Chosen before the application object exists, unless the user chose.
void preferUnlessSet(const char* name, const char* value)
{
    if (!qEnvironmentVariableIsSet(name))
        qputenv(name, value);
}

// The bundle's icon, for every window and the tray.
QIcon bundleIcon()
{
    QIcon icon;
    for (const char* name : {"AppIcon.png", "AppIcon@2x.png"}) {
        if (const auto path = Bundle::mainBundle().pathForResource(name))
            icon.addFile(QString::fromStdString(*path));
    }
    return icon;
}
} // namespace

struct ApplicationHost::Private {
    Private(int& argc, char** argv) : app(argc, argv) {}
    QApplication app;
};

ApplicationHost::ApplicationHost(int& argc, char** argv)
{
    // The marquee wakes thirty times a second for a few microseconds of
    // drawing, so the cost of each wake-up is most of what it spends. Qt's
    // own event dispatcher does one poll per wake-up where glib's main loop
    // does several passes over its sources.
    preferUnlessSet("QT_NO_GLIB", "1");
    // The strip is 120 by 26 pixels: copying them down the X connection
    // costs less than the round trip to the server that shared-memory
    // images need before every paint.
    preferUnlessSet("QT_XCB_NO_MITSHM", "1");
    QApplication::setApplicationName("Zintara");
    // Matches the installed desktop entry, so taskbars find the icon.
    QApplication::setDesktopFileName("org.zintara.Zintara");
    d = std::make_unique<Private>(argc, argv);
    // Else every window carries Qt's generic icon in window lists.
    QApplication::setWindowIcon(bundleIcon());
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
        // panel that reserves its place, which Wayland itself would not allow.
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

std::optional<int> ApplicationHost::platformOptionValues(const std::string& arg)
{
    if (arg.size() < 2 || arg[0] != '-')
        return std::nullopt;
    // Qt reads "--name" as "-name", and a few options as "-name=value".
    std::string_view name(arg);
    name.remove_prefix(arg.compare(0, 2, "--") == 0 ? 2 : 1);
    if (const std::size_t equals = name.find('='); equals != std::string_view::npos) {
        const std::string_view key = name.substr(0, equals);
        if (key == "style" || key == "stylesheet" || key == "qmljsdebugger")
            return 0;
        return std::nullopt;
    }
    static constexpr std::string_view withValue[] = {
        "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "geometry",
        "qwindowtitle", "title", "qwindowicon", "icon", "session", "display", "name", "style",
        "stylesheet", "visual"};
    static constexpr std::string_view flags[] = {"reverse", "widgetcount", "testability", "nograb", "dograb", "sync"};
    for (const std::string_view option : withValue) {
        if (name == option)
            return 1;
    }
    for (const std::string_view option : flags) {
        if (name == option)
            return 0;
    }
    return std::nullopt;
}

} // namespace kit
