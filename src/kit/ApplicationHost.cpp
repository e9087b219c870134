#include "kit/ApplicationHost.h"

#include <QApplication>

namespace kit {

struct ApplicationHost::Private {
    Private(int& argc, char** argv) : app(argc, argv) {}
    QApplication app;
};

ApplicationHost::ApplicationHost(int& argc, char** argv)
{
    QApplication::setApplicationName("Zintara");
    QApplication::setDesktopFileName("zintara");
    d = std::make_unique<Private>(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
}

ApplicationHost::~ApplicationHost() = default;

} // namespace kit
