#include "kit/ApplicationHost.h"

#include <QApplication>

namespace kit {

namespace {
// Chosen before the application object exists, unless the user chose.
void preferUnlessSet(const char* name, const char* value)
{
    if (!qEnvironmentVariableIsSet(name))
        qputenv(name, value);
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
    QApplication::setDesktopFileName("zintara");
    d = std::make_unique<Private>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
}

ApplicationHost::~ApplicationHost() = default;

} // namespace kit
