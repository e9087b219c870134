#include "kit/Application.h"

#include "kit/ApplicationDelegate.h"
#include "kit/DockIcon.h"
#include "kit/RunLoop.h"
#include "kit/UserDefaults.h"
#include "kit/Window.h"

#include <QApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace kit {

struct Application::ModalRun {
    QEventLoop loop;
    int response = NSModalResponseStop;
};

Application& Application::sharedApplication()
{
    static Application app;
    return app;
}

int Application::run()
{
    // Read once, as the platform reads the bundle when it starts a program.
    DockIcon::shared().applyBundleSetting();
    QMetaObject::invokeMethod(
        qApp,
        [this] {
            if (m_delegate)
                m_delegate->applicationDidFinishLaunching();
        },
        Qt::QueuedConnection);
    return QApplication::exec();
}

int Application::runModalForWindow(Window& window)
{
    QWidget* widget = window.widget();
    if (!widget || m_terminated)
        return NSModalResponseAbort;
    ModalRun run;
    m_modalLoops.push_back(&run);
    RunLoopModeScope mode(RunLoopMode::ModalPanel);

    widget->setWindowModality(Qt::ApplicationModal);
    window.makeKeyAndOrderFront(nullptr);
    if (m_modalObserver) {
        QMetaObject::invokeMethod(
            &run.loop, [this, &window] { if (m_modalObserver) m_modalObserver(window); }, Qt::QueuedConnection);
    }
    run.loop.exec();
    widget = window.widget(); // the window may have been destroyed meanwhile
    if (widget)
        widget->setWindowModality(Qt::NonModal);

    std::erase(m_modalLoops, &run);
    return run.response;
}

void Application::stopModal()
{
    if (m_modalLoops.empty())
        return;
    ModalRun* run = m_modalLoops.back();
    run->response = NSModalResponseStop;
    run->loop.exit(); // takes effect once the current action returns
}

void Application::terminate(void*)
{
    if (m_terminated)
        return;
    m_terminated = true;
    if (m_delegate)
        m_delegate->applicationWillTerminate();
    // The store is written at quit whatever the delegate did.
    UserDefaults::standardUserDefaults().synchronize();
    for (ModalRun* run : m_modalLoops)
        run->loop.exit();
    if (m_terminationHandler) {
        m_terminationHandler();
        return;
    }
    std::fflush(nullptr);
    // Like the platform, termination does not return to the caller.
    ::_exit(0);
}

void Application::activateIgnoringOtherApps(bool)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        // The status bar never takes the focus.
        if (widget->isVisible() && !widget->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus)) {
            widget->raise();
            widget->activateWindow();
        }
    }
}

namespace {
int g_signalPipe[2] = {-1, -1};

void writeSettingsAtExit()
{
    UserDefaults::standardUserDefaults().synchronizeAtExit();
}

void onSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here; the event loop does the rest.
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}
} // namespace

void Application::installSignalHandlers()
{
    if (g_signalPipe[0] >= 0)
        return;
    // Qt ends the program with exit() when the display server goes away
    // (the session ended, the server died) and never returns to the event
    // loop: changes waiting for their autosave would be lost. The store
    // exists before the handler is registered, so it outlives the handler.
    UserDefaults::standardUserDefaults();
    std::atexit(writeSettingsAtExit);

    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, [this] {
        char buffer[16];
        while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
        }
        terminate(nullptr);
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

void Application::resetForTesting()
{
    m_terminated = false;
    m_delegate = nullptr;
    m_terminationHandler = nullptr;
    m_modalObserver = nullptr;
}

} // namespace kit
