// Launch and termination: the launch sequence, the welcome and launch
// windows and their buttons, and the small services other parts use.
#include "zintara/Zintara.h"

#include "kit/Alert.h"
#include "kit/Application.h"
#include "kit/Button.h"
#include "kit/FontPanel.h"
#include "kit/UserDefaults.h"
#include "kit/Window.h"
#include "kit/Workspace.h"
#include "players/Player.h"
#include "zintara/TagView.h"
#include "zintara/Tags.h"
#include "zintara/TunesView.h"

#include <iostream>

using namespace zintara;

void Zintara::applicationDidFinishLaunching()
{
    hasFinishedLaunching = false;
    kit::UserDefaults& defaults = kit::UserDefaults::standardUserDefaults();
    // The font panel reports its changes to this controller.
    m_fontPanelDelegate = kit::FontPanel::sharedFontManager().setDelegate([this] { changeFont(nullptr); });
    // Answers the user gives (the welcome and launch windows, the
    // preferences) must not be lost in silence when the store cannot write.
    m_saveFailureReport = kit::UserDefaults::setSaveFailureHandler(
        [this](const std::string& path, const std::string& reason) { reportSaveFailure(path, reason); });

    if (!defaults.objectForKey("menuSize"))
        setDefaultPrefs();

    syncAppPrefsWithDefaults();

    if (!defaults.objectForKey("showWelcome") && introWnd) {
        kit::Application::sharedApplication().runModalForWindow(*introWnd);
        if (hideWelcome && hideWelcome->state() != 0)
            defaults.setBool(false, "showWelcome");
    }

    // A player that is there but turns Zintara away is not offered for
    // launching: the strip says what is wrong instead.
    if (!appIsRunning(kPlayerName) && (!m_player || m_player->refusal().empty())) {
        if (!defaults.objectForKey("launchiTunes")) {
            if (launchWnd) {
                launchWnd->nameInTexts(kPlayerName, playerDisplayName());
                kit::Application::sharedApplication().runModalForWindow(*launchWnd);
            }
        } else if (defaults.boolForKey("launchiTunes")) {
            launchITunes();
        }
    }

    defaults.setInteger(defaults.integerForKey("launchCount") + 1, "launchCount");

    initScripts();

    if (demoTunesView) {
        demoTunesView->setDemoView(true);
        demoTunesView->setTimePerc(0.5f);
        demoTunesView->setDisplayString(
            std::string("Sample Scrolling Text - Thanks for trying Zintara - Be sure to check out Quorble's other "
                        "Freeware & Shareware (")
            + TagView::kMakerURL + ") - Please support Quorble Software! Thank you!");
    }

    hasFinishedLaunching = true;
}

void Zintara::applicationWillTerminate()
{
    kit::UserDefaults::standardUserDefaults().synchronize();
}

bool Zintara::appIsRunning(const std::string& name) const
{
    for (const auto& info : kit::Workspace::sharedWorkspace().launchedApplications()) {
        const auto it = info.find("NSApplicationName");
        if (it != info.end() && name == it->second)
            return true;
    }
    return false;
}

void Zintara::launchITunes()
{
    const bool launched = kit::Workspace::sharedWorkspace().launchApplication(kPlayerName);
    kit::Application::sharedApplication().activateIgnoringOtherApps(true);
    // A player on its way up says nothing; one that cannot start says why.
    if (!launched && m_player) {
        if (const std::string problem = m_player->launchProblem(); !problem.empty())
            alert("The player could not be started", problem, "OK", std::nullopt);
    }
}

void Zintara::reportSaveFailure(const std::string& path, const std::string& reason)
{
    std::cerr << "zintara: the settings could not be saved to " << path << ": " << reason << '\n';
    // The last save at quit has nobody left to answer an alert.
    if (kit::Application::sharedApplication().hasTerminated())
        return;
    alert("Your Zintara settings could not be saved",
          "Zintara could not write its settings to " + path + ": " + reason
              + ".\n\nThe settings stay in effect until Zintara quits, and Zintara tries again at the next save.",
          "OK", std::nullopt);
}

int Zintara::alert(const std::string& message, const std::string& informative, const std::string& defaultButton,
                   const std::optional<std::string>& alternateButton)
{
    return kit::Alert::alertWithMessageText(message, defaultButton, alternateButton, std::nullopt, informative)
        .runModal();
}

void Zintara::btnClick(kit::Control* sender)
{
    if (!sender)
        return;
    kit::Application& app = kit::Application::sharedApplication();
    kit::UserDefaults& defaults = kit::UserDefaults::standardUserDefaults();
    switch (sender->tag()) {
    case kTagWelcomePrefs:
        app.stopModal();
        if (introWnd)
            introWnd->orderOut(nullptr);
        showPrefsWnd();
        break;
    case kTagPrefsSave:
        if (prefsWnd)
            prefsWnd->orderOut(nullptr);
        if (tunesView)
            tunesView->setPaused(false);
        savePrefs();
        syncAppPrefsWithDefaults();
        timerFire(nullptr);
        break;
    case kTagPrefsCancel:
        if (prefsWnd)
            prefsWnd->orderOut(nullptr);
        if (tunesView)
            tunesView->setPaused(false);
        break;
    case kTagLaunch:
        if (alwaysLaunchBtn && alwaysLaunchBtn->state() != 0) {
            defaults.setBool(true, "launchiTunes");
            defaults.synchronize();
        }
        launchITunes();
        app.stopModal();
        if (launchWnd)
            launchWnd->orderOut(nullptr);
        break;
    case kTagDontLaunch:
        if (alwaysLaunchBtn && alwaysLaunchBtn->state() != 0) {
            defaults.setBool(false, "launchiTunes");
            defaults.synchronize();
        }
        app.stopModal();
        if (launchWnd)
            launchWnd->orderOut(nullptr);
        break;
    default:
        break;
    }
}
