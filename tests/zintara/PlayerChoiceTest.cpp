// The preferences' "Player" pop-up and the stored `player` choice.
#include "ControllerFixture.h"

#include "kit/MenuItem.h"
#include "kit/PopUpButton.h"
#include "kit/Task.h"
#include "kit/UserDefaults.h"

#include <QComboBox>

#include <cstdlib>

namespace {

kit::UserDefaults& store()
{
    return kit::UserDefaults::standardUserDefaults();
}

class PlayerChoiceTest : public ControllerTest {
protected:
    void SetUp() override
    {
        // No media players from the machine's own session.
        setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zintara-test-bus", 1);
        ControllerTest::SetUp();
        kit::Task::setLauncher([](const std::string&, const std::vector<std::string>&) { return true; });
        controller->setDefaultPrefs();
        store().setBool(false, "showWelcome");
        store().setBool(false, "launchiTunes");
        controller->applicationDidFinishLaunching();
    }
    void TearDown() override
    {
        kit::Task::setLauncher(nullptr);
        ControllerTest::TearDown();
    }

    QComboBox& box() { return *controller->prefsWnd->widget()->findChild<QComboBox*>("playerChoice"); }
    std::vector<std::string> titles()
    {
        std::vector<std::string> list;
        for (int i = 0; i < box().count(); ++i)
            list.push_back(box().itemText(i).toStdString());
        return list;
    }
    void choose(const char* title)
    {
        const int index = box().findText(title);
        ASSERT_GE(index, 0) << title;
        box().setCurrentIndex(index);
        emit box().activated(index);
    }
    void save() { clickButton(*controller->prefsWnd, "saveButton"); }
};

TEST_F(PlayerChoiceTest, OffersTheKindsAndStoresTheChoiceOnSave)
{
    // The defaults leave the choice to the next start's automatic player.
    EXPECT_FALSE(store().objectForKey("player"));
    controller->showPrefsWnd();
    EXPECT_EQ(titles(), (std::vector<std::string>{"Automatic", "Built-in", "MPD"}));
    EXPECT_EQ(box().currentText().toStdString(), "Automatic");

    // The player came from the command line (no switch allowed): the
    // choice waits for the next start.
    players::Player* before = directory->player();
    choose("MPD");
    save();
    EXPECT_EQ(store().stringForKey("player"), "mpd");
    EXPECT_EQ(directory->player(), before);
    EXPECT_EQ(controller->quitTunes->title(), "Launch iTunes");
    EXPECT_EQ(players::effectivePlayerChoice("", *store().stringForKey("player")), "mpd");

    controller->showPrefsWnd();
    EXPECT_EQ(box().currentText().toStdString(), "MPD");
    choose("Built-in");
    clickButton(*controller->prefsWnd, "cancelButton");
    EXPECT_EQ(store().stringForKey("player"), "mpd");
}

TEST_F(PlayerChoiceTest, AStoredPlayerThatIsGoneStaysSelectableByName)
{
    store().setObject(std::string("mpris:vlc.instance42"), "player");
    controller->showPrefsWnd();
    EXPECT_EQ(box().currentText().toStdString(), "vlc.instance42 (not running)");
    save();
    EXPECT_EQ(store().stringForKey("player"), "mpris:vlc.instance42");

    store().setObject(std::string("mpd:music.local:6601"), "player");
    controller->showPrefsWnd();
    EXPECT_EQ(box().currentText().toStdString(), "MPD at music.local:6601");
    EXPECT_EQ(box().count(), 4);

    // A value this window cannot show is kept as it is.
    store().setObject(std::string("winamp"), "player");
    controller->showPrefsWnd();
    EXPECT_EQ(box().currentIndex(), -1);
    save();
    EXPECT_EQ(store().stringForKey("player"), "winamp");
}

TEST_F(PlayerChoiceTest, AChoiceThatCannotBeBuiltKeepsThePlayerAndSaysWhy)
{
    players::PlayerOptions options;
    options.player = "builtin";
    controller->allowPlayerSwitch(*directory, options);
    player().launch();
    controller->timerFire(nullptr);
    players::Player* before = directory->player();

    // Stored by hand: not a name a bus player can have.
    store().setObject(std::string("mpris:9lives"), "player");
    controller->showPrefsWnd();
    EXPECT_EQ(box().currentText().toStdString(), "9lives (not running)");
    save();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].messageText(), "The player could not be changed");
    EXPECT_NE(alerts[0].informativeText().find("\"9lives\" is not the name of an MPRIS player"), std::string::npos)
        << alerts[0].informativeText();
    EXPECT_NE(alerts[0].informativeText().find("goes on with iTunes"), std::string::npos);
    EXPECT_EQ(store().stringForKey("player"), "mpris:9lives");
    EXPECT_EQ(directory->player(), before);
    EXPECT_EQ(controller->quitTunes->title(), "Quit iTunes");
    EXPECT_TRUE(controller->runScript(4).has_value());

    // Saving the choice in force again builds nothing.
    choose("Built-in");
    save();
    EXPECT_EQ(directory->player(), before);
    EXPECT_EQ(alerts.size(), 1u);
}

} // namespace
