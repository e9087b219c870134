#pragma once

#include <functional>
#include <memory>
#include <vector>

namespace kit {

class ApplicationDelegate;
class Window;

// Modal responses of runModalForWindow and alerts.
enum ModalResponse : int {
    NSModalResponseStop = -1000,
    NSModalResponseAbort = -1001,
    NSAlertDefaultReturn = 1,
    NSAlertAlternateReturn = 0,
    NSAlertOtherReturn = -1,
};

// The application object: delegate calls, modal runs, termination.
class Application {
public:
    static Application& sharedApplication();

    void setDelegate(ApplicationDelegate* delegate) { m_delegate = delegate; }
    ApplicationDelegate* delegate() const { return m_delegate; }

    // Runs the application: tells the delegate that launching has finished,
    // then processes events until the application terminates. SIGTERM and
    // SIGINT end it through `terminate`.
    int run();

    // Shows `window` and runs a modal loop in the modal-panel mode until
    // `stopModal`; answers the stop code.
    int runModalForWindow(Window& window);
    // Ends the innermost modal run once control returns to its loop.
    void stopModal();
    bool isRunningModal() const { return !m_modalLoops.empty(); }

    // Called with the window once its modal run is under way (tests answer
    // modal windows through it, as a user would).
    using ModalObserver = std::function<void(Window& window)>;
    void setModalObserver(ModalObserver observer) { m_modalObserver = std::move(observer); }

    // Tells the delegate, then ends the process. Tests replace the ending
    // with `setTerminationHandler`.
    void terminate(void* sender);
    bool hasTerminated() const { return m_terminated; }
    void setTerminationHandler(std::function<void()> handler) { m_terminationHandler = std::move(handler); }

    void activateIgnoringOtherApps(bool flag);

    // Makes SIGTERM and SIGINT call `terminate` from the event loop, and has
    // the settings written when the platform ends the program by itself.
    void installSignalHandlers();

    // Forgets termination and modal state (tests).
    void resetForTesting();

private:
    Application() = default;

    struct ModalRun;
    ApplicationDelegate* m_delegate = nullptr;
    std::vector<ModalRun*> m_modalLoops;
    std::function<void()> m_terminationHandler;
    ModalObserver m_modalObserver;
    bool m_terminated = false;
};

} // namespace kit
