#include "ControllerFixture.h"

#include "kit/Button.h"
#include "kit/PropertyList.h"
#include "kit/UserDefaults.h"
#include "kit/Workspace.h"

#include <QPushButton>

#include <filesystem>
#include <set>

namespace {

constexpr const char* kWelcome = "Welcome to Zintara";
constexpr const char* kLaunch = "Launch iTunes?";

kit::UserDefaults& store()
{
    return kit::UserDefaults::standardUserDefaults();
}

std::set<std::string> storedKeys()
{
    auto parsed = kit::plist::readFile(store().path());
    std::set<std::string> keys;
    if (const auto* root = std::get_if<kit::PlistValue>(&parsed)) {
        for (const auto& [key, value] : root->get<kit::PlistDictionary>())
            keys.insert(key);
    }
    return keys;
}

const std::set<std::string> kDefaultKeys = {
    "menuSize", "scrollSpeed", "fontName", "fontSize", "fontShadow", "font_R", "font_G", "font_B", "vertAdjust",
    "framesPerSecond", "launchCount", "hideDockIcon", "scrollDisabled", "fadeEdges", "curTitle", "curArtist",
    "curAlbum", "curTrack", "nextTitle", "nextArtist", "nextAlbum", "nextTrack", "pieStyle", "showPie", "syncTime",
    "clearPaused", "showNotes"};

class LaunchTest : public ControllerTest {
protected:
    // Answers the welcome window with its preferences button and the launch
    // window with the given button, leaving both checkboxes as given.
    void answerBoth(bool hideWelcome, const char* launchButton, bool remember)
    {
        answerModal(kWelcome, [=](kit::Window& w) {
            setCheckbox(w, "hideWelcome", hideWelcome);
            clickButton(w, "welcomePrefsButton");
        });
        answerModal(kLaunch, [=](kit::Window& w) {
            setCheckbox(w, "alwaysLaunchBtn", remember);
            clickButton(w, launchButton);
        });
    }

    void launch() { controller->applicationDidFinishLaunching(); }

    // A store that has been through a first launch already.
    void initialised()
    {
        controller->setDefaultPrefs();
        store().setInteger(4, "launchCount");
    }
};

TEST_F(LaunchTest, FirstRunWritesTheDefaultsThenAsksInOrder)
{
    std::optional<std::int64_t> menuSizeAtWelcome;
    answerModal(kWelcome, [&](kit::Window& w) {
        // The defaults are in place before any window shows.
        menuSizeAtWelcome = store().integerForKey("menuSize");
        EXPECT_EQ(store().integerForKey("launchCount"), 0);
        clickButton(w, "welcomePrefsButton");
    });
    answerModal(kLaunch, [](kit::Window& w) { clickButton(w, "dontLaunchButton"); });

    launch();

    EXPECT_EQ(modalTitles, (std::vector<std::string>{kWelcome, kLaunch}));
    EXPECT_EQ(menuSizeAtWelcome, 120);
    EXPECT_TRUE(controller->hasFinishedLaunching);
    EXPECT_FALSE(store().objectForKey("showWelcome"));
    EXPECT_FALSE(store().objectForKey("launchiTunes"));
    EXPECT_EQ(store().integerForKey("launchCount"), 1);

    ASSERT_TRUE(store().synchronize());
    EXPECT_EQ(storedKeys(), kDefaultKeys);
    EXPECT_EQ(kDefaultKeys.size(), 27u);
}

TEST_F(LaunchTest, ScriptsAreCompiledOnlyAfterTheWindows)
{
    player().launch();
    std::optional<std::string> stateDuringWelcome = "unset";
    answerModal(kWelcome, [&](kit::Window& w) {
        stateDuringWelcome = controller->runScript(4);
        clickButton(w, "welcomePrefsButton");
    });
    launch();
    EXPECT_EQ(stateDuringWelcome, std::nullopt);
    EXPECT_TRUE(controller->runScript(4).has_value());
}

TEST_F(LaunchTest, DefaultValuesAreTheDocumentedOnes)
{
    controller->setDefaultPrefs();
    EXPECT_EQ(store().integerForKey("menuSize"), 120);
    EXPECT_FLOAT_EQ(store().floatForKey("scrollSpeed"), 1.0f);
    EXPECT_EQ(store().stringForKey("fontName"), "Monaco");
    EXPECT_EQ(store().integerForKey("fontSize"), 10);
    EXPECT_EQ(store().integerForKey("framesPerSecond"), 30);
    EXPECT_EQ(store().integerForKey("pieStyle"), 2);
    EXPECT_EQ(store().integerForKey("syncTime"), 2);
    for (const char* yes : {"fontShadow", "fadeEdges", "curTitle", "curArtist", "nextTitle", "nextArtist", "showPie",
                            "clearPaused", "showNotes"})
        EXPECT_TRUE(store().boolForKey(yes)) << yes;
    for (const char* no : {"hideDockIcon", "scrollDisabled", "curAlbum", "curTrack", "nextAlbum", "nextTrack"}) {
        EXPECT_TRUE(store().objectForKey(no)) << no;
        EXPECT_FALSE(store().boolForKey(no)) << no;
    }
    // Colours and counters are written as numbers, not left absent.
    for (const char* zero : {"font_R", "font_G", "font_B", "vertAdjust", "launchCount"})
        EXPECT_TRUE(store().objectForKey(zero)) << zero;
}

TEST_F(LaunchTest, WelcomeShowsWhileItsKeyIsAbsentWhateverItsValue)
{
    initialised();
    store().setBool(false, "launchiTunes");
    store().setBool(true, "showWelcome"); // only presence counts
    launch();
    EXPECT_TRUE(modalTitles.empty());

    store().removeObjectForKey("showWelcome");
    answerBoth(false, "dontLaunchButton", false);
    launch();
    EXPECT_EQ(modalTitles, (std::vector<std::string>{kWelcome}));
    EXPECT_FALSE(store().objectForKey("showWelcome")) << "checkbox off stores nothing";

    answerBoth(true, "dontLaunchButton", false);
    launch();
    ASSERT_TRUE(store().objectForKey("showWelcome"));
    EXPECT_FALSE(store().boolForKey("showWelcome"));
}

TEST_F(LaunchTest, LaunchWindowOnlyWhenThePlayerIsDownAndTheKeyAbsent)
{
    initialised();
    store().setBool(false, "showWelcome");

    // Running player: neither the window nor the key is consulted.
    player().launch();
    store().setBool(true, "launchiTunes");
    launch();
    EXPECT_TRUE(modalTitles.empty());

    player().player().quit();
    store().setBool(false, "launchiTunes");
    launch();
    EXPECT_TRUE(modalTitles.empty());
    EXPECT_FALSE(playerRuns());

    store().setBool(true, "launchiTunes");
    launch();
    EXPECT_TRUE(modalTitles.empty());
    EXPECT_TRUE(playerRuns());
}

TEST_F(LaunchTest, LaunchButtonsWithAndWithoutTheCheckbox)
{
    initialised();
    store().setBool(false, "showWelcome");
    answerBoth(false, "launchButton", false);
    launch();
    EXPECT_TRUE(playerRuns());
    EXPECT_FALSE(store().objectForKey("launchiTunes"));

    // Remembered choices are written to the file at once.
    player().player().quit();
    answerBoth(false, "launchButton", true);
    launch();
    EXPECT_TRUE(playerRuns());
    auto parsed = kit::plist::readFile(store().path());
    ASSERT_TRUE(std::holds_alternative<kit::PlistValue>(parsed));
    const auto& onDisk = std::get<kit::PlistValue>(parsed).get<kit::PlistDictionary>();
    ASSERT_TRUE(onDisk.count("launchiTunes"));
    EXPECT_EQ(onDisk.at("launchiTunes"), kit::PlistValue(true));

    player().player().quit();
    store().removeObjectForKey("launchiTunes");
    answerBoth(false, "dontLaunchButton", true);
    launch();
    EXPECT_FALSE(playerRuns());
    ASSERT_TRUE(store().objectForKey("launchiTunes"));
    EXPECT_FALSE(store().boolForKey("launchiTunes"));

    // From then on, no question and no launch.
    modalTitles.clear();
    launch();
    EXPECT_TRUE(modalTitles.empty());
    EXPECT_FALSE(playerRuns());
}

TEST_F(LaunchTest, TitleBarCloseEndsTheModalRunsWithoutSideEffects)
{
    answerModal(kWelcome, [](kit::Window& w) {
        setCheckbox(w, "hideWelcome", true);
        w.widget()->close();
    });
    answerModal(kLaunch, [](kit::Window& w) {
        setCheckbox(w, "alwaysLaunchBtn", true);
        w.widget()->close();
    });
    launch();
    EXPECT_EQ(modalTitles, (std::vector<std::string>{kWelcome, kLaunch}));
    EXPECT_FALSE(controller->introWnd->isVisible());
    EXPECT_FALSE(controller->launchWnd->isVisible());
    EXPECT_FALSE(playerRuns()) << "closing declines";
    EXPECT_FALSE(store().objectForKey("launchiTunes")) << "the checkbox is ignored on close";
    // The welcome checkbox is read however the window ended.
    EXPECT_TRUE(store().objectForKey("showWelcome"));
    EXPECT_TRUE(controller->hasFinishedLaunching);
}

TEST_F(LaunchTest, LaunchCountCountsFromAbsent)
{
    controller->setDefaultPrefs();
    store().removeObjectForKey("launchCount");
    store().setBool(false, "showWelcome");
    store().setBool(false, "launchiTunes");
    launch();
    EXPECT_EQ(store().integerForKey("launchCount"), 1);
    launch();
    EXPECT_EQ(store().integerForKey("launchCount"), 2);
}

TEST_F(LaunchTest, UnknownButtonTagsDoNothing)
{
    initialised();
    QPushButton raw;
    kit::Button button(&raw);
    for (int tag : {5, 6, 42, -1}) {
        button.setTag(tag);
        controller->btnClick(&button);
    }
    controller->btnClick(nullptr);
    EXPECT_FALSE(playerRuns());
    EXPECT_FALSE(store().objectForKey("launchiTunes"));
    EXPECT_TRUE(modalTitles.empty());
}

TEST_F(LaunchTest, AppIsRunningMatchesExactNames)
{
    EXPECT_TRUE(controller->appIsRunning("Zintara"));
    EXPECT_FALSE(controller->appIsRunning("iTunes"));
    player().launch();
    EXPECT_TRUE(controller->appIsRunning("iTunes"));
    EXPECT_FALSE(controller->appIsRunning("itunes"));
    EXPECT_FALSE(controller->appIsRunning("iTunes "));
    EXPECT_FALSE(controller->appIsRunning(""));
}

TEST_F(LaunchTest, TerminationFlushesEverySetting)
{
    initialised();
    store().setBool(false, "showWelcome");
    store().setBool(false, "launchiTunes");
    launch();
    ASSERT_FALSE(kit::Workspace::sharedWorkspace().launchedApplications().empty());
    kit::Application::sharedApplication().terminate(nullptr);
    EXPECT_TRUE(terminated);

    kit::UserDefaults::resetStandardUserDefaults(); // read back from the file
    EXPECT_EQ(store().integerForKey("launchCount"), 5);
    EXPECT_TRUE(store().objectForKey("showWelcome"));
}

TEST_F(LaunchTest, SettingsThatCannotBeSavedAreReportedOnceAndKeptInMemory)
{
    // A plain file where the settings folder should be: nothing can be
    // written below it, whoever runs the test.
    const std::string blocked = tempDir() + "/blocked";
    testing_support::writeFile(blocked, "not a folder");
    setenv("XDG_CONFIG_HOME", (blocked + "/config").c_str(), 1);
    kit::UserDefaults::resetStandardUserDefaults();
    const std::string path = store().path();
    ASSERT_EQ(path.rfind(blocked + "/config/", 0), 0u);

    answerBoth(true, "dontLaunchButton", true);
    testing::internal::CaptureStderr();
    launch();
    runFor(kit::UserDefaults::kAutosaveDelay * 3);
    const std::string said = testing::internal::GetCapturedStderr();

    ASSERT_EQ(alerts.size(), 1u) << "one alert, however many saves fail";
    EXPECT_EQ(alerts[0].messageText(), "Your Zintara settings could not be saved");
    EXPECT_NE(alerts[0].informativeText().find(path), std::string::npos) << alerts[0].informativeText();
    EXPECT_NE(alerts[0].informativeText().find("Not a directory"), std::string::npos) << alerts[0].informativeText();
    EXPECT_NE(said.find(path), std::string::npos) << said;
    EXPECT_NE(said.find("Not a directory"), std::string::npos) << said;

    // The run goes on with the answers in memory.
    EXPECT_TRUE(store().objectForKey("showWelcome"));
    EXPECT_TRUE(store().objectForKey("launchiTunes"));
    EXPECT_FALSE(store().boolForKey("launchiTunes"));
    EXPECT_EQ(store().integerForKey("menuSize"), 120);
    EXPECT_EQ(testing_support::readFile(blocked), "not a folder");

    // Once a save gets through, the next failure is news again.
    std::filesystem::remove(blocked);
    ASSERT_TRUE(store().synchronize());
    EXPECT_TRUE(store().objectForKey("showWelcome"));
    EXPECT_EQ(alerts.size(), 1u);
    std::filesystem::remove_all(blocked);
    testing_support::writeFile(blocked, "not a folder");
    store().setInteger(7, "launchCount");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(store().synchronize());
    EXPECT_FALSE(store().synchronize());
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(alerts.size(), 2u);
    EXPECT_EQ(store().integerForKey("launchCount"), 7);

    // A first failure at quit goes to stderr only: nobody is left to answer.
    std::filesystem::remove(blocked);
    ASSERT_TRUE(store().synchronize());
    std::filesystem::remove_all(blocked);
    testing_support::writeFile(blocked, "not a folder");
    store().setInteger(8, "launchCount");
    testing::internal::CaptureStderr();
    kit::Application::sharedApplication().terminate(nullptr);
    const std::string atQuit = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(terminated);
    EXPECT_EQ(alerts.size(), 2u);
    EXPECT_NE(atQuit.find(path), std::string::npos) << atQuit;
}

TEST_F(LaunchTest, AlertPassesItsTextsThrough)
{
    controller->alert("Message", "100% informative", "OK", std::nullopt);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText(), "Message");
    EXPECT_EQ(alerts[0].informativeText(), "100% informative");
    EXPECT_EQ(alerts[0].defaultButton(), "OK");
    EXPECT_FALSE(alerts[0].alternateButton());
}

} // namespace
