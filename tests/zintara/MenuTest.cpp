// The drop-down menu's commands and the click on the status-bar marquee.
#include "ControllerFixture.h"

#include "kit/Menu.h"
#include "kit/MenuItem.h"
#include "kit/UserDefaults.h"
#include "players/VirtualPlayer.h"
#include "zintara/TunesView.h"

#include <QEvent>
#include <QImage>
#include <QMenu>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <iterator>
#include <vector>

namespace {

class MenuTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        controller->setDefaultPrefs();
        store().setBool(false, "clearPaused");
        store().setBool(false, "nextTitle");
        store().setBool(false, "nextArtist");
        player().launch();
        controller->syncAppPrefsWithDefaults();
        controller->initScripts();
        controller->timerFire(nullptr);
    }
    kit::UserDefaults& store() { return kit::UserDefaults::standardUserDefaults(); }
    void choose(kit::Menu* menu, int tag) { menu->itemWithTag(tag)->performAction(); }
    players::VirtualPlayer& vp() { return player().player(); }
    std::string currentName() { return vp().track(vp().currentTrack()).name; }
};

TEST_F(MenuTest, TransportCommandsPollAtOnce)
{
    const std::string first = currentName();
    EXPECT_EQ(controller->tunesView->displayStr().rfind(first, 0), 0u);
    choose(controller->dropDownMenu, 21);
    EXPECT_NE(currentName(), first);
    EXPECT_EQ(controller->tunesView->displayStr().rfind(currentName(), 0), 0u) << "the line followed at once";
    choose(controller->dropDownMenu, 22);
    EXPECT_EQ(currentName(), first);

    choose(controller->dropDownMenu, 20);
    EXPECT_EQ(vp().playerState(), players::PlayerState::Paused);
    EXPECT_EQ(controller->playPause->title(), "Play");
    choose(controller->dropDownMenu, 20);
    EXPECT_EQ(controller->playPause->title(), "Pause");
}

TEST_F(MenuTest, ShuffleAndRepeatMoveTheirMarksAtOnce)
{
    choose(controller->shuffleMenu, 26);
    EXPECT_EQ(controller->shuffleMenu->itemWithTag(26)->state(), 1);
    EXPECT_EQ(controller->shuffleMenu->itemWithTag(25)->state(), 0);
    EXPECT_EQ(controller->runScript(4).value_or("")[1], 'Y');
    choose(controller->shuffleMenu, 25);
    EXPECT_EQ(controller->shuffleMenu->itemWithTag(25)->state(), 1);
    EXPECT_EQ(controller->shuffleMenu->itemWithTag(26)->state(), 0);

    for (int tag : {27, 28, 29}) {
        choose(controller->repeatMenu, tag);
        for (int other : {27, 28, 29})
            EXPECT_EQ(controller->repeatMenu->itemWithTag(other)->state(), other == tag ? 1 : 0) << tag << other;
        EXPECT_EQ(controller->runScript(4).value_or("")[2], char('0' + tag - 27));
    }
}

TEST_F(MenuTest, SubmenusLookTheSameAfterTheirMarksHaveMovedAndComeBack)
{
    const auto picture = [](kit::Menu* menu) {
        menu->qmenu()->adjustSize();
        return menu->qmenu()->grab().toImage();
    };
    kit::Menu* submenus[] = {controller->ratingSubmenu, controller->shuffleMenu, controller->repeatMenu};
    std::vector<QImage> before;
    for (kit::Menu* menu : submenus)
        before.push_back(picture(menu));

    // Every mark goes round its submenu and back to where it was.
    const int rating = static_cast<int>(vp().track(vp().currentTrack()).rating);
    for (int tag : {5, 3, 0, rating / 20})
        choose(controller->ratingSubmenu, tag);
    const char shuffle = controller->runScript(4).value_or("")[1];
    for (int tag : {26, 25, shuffle == 'Y' ? 26 : 25})
        choose(controller->shuffleMenu, tag);
    const char repeat = controller->runScript(4).value_or("")[2];
    for (int tag : {29, 28, 27, 27 + (repeat - '0')})
        choose(controller->repeatMenu, tag);
    controller->timerFire(nullptr);

    for (std::size_t index = 0; index < std::size(submenus); ++index)
        EXPECT_TRUE(picture(submenus[index]) == before[index]) << submenus[index]->title();
}

TEST_F(MenuTest, QuittingThePlayerWaitsASecondAndLaunchingComesBack)
{
    kit::MenuItem* item = controller->quitTunes;
    ASSERT_EQ(item->title(), "Quit iTunes");
    const double before = clock.now();
    item->performAction();
    EXPECT_FALSE(playerRuns());
    EXPECT_DOUBLE_EQ(clock.now() - before, 1.0);
    EXPECT_EQ(item->title(), "Quit iTunes") << "no poll follows";

    controller->timerFire(nullptr);
    EXPECT_EQ(item->title(), "Launch iTunes");
    EXPECT_FALSE(controller->quitBoth->isEnabled());
    item->performAction();
    EXPECT_TRUE(playerRuns());
}

TEST_F(MenuTest, QuitCommandsEndTheProgram)
{
    choose(controller->dropDownMenu, 31);
    EXPECT_FALSE(playerRuns());
    EXPECT_TRUE(terminated);
}

TEST_F(MenuTest, ResetDeletesTheSettingsAndQuits)
{
    ASSERT_TRUE(store().synchronize());
    ASSERT_TRUE(std::filesystem::exists(store().path()));
    choose(controller->dropDownMenu, 99);
    EXPECT_TRUE(terminated);
    EXPECT_FALSE(std::filesystem::exists(store().path())) << "the flush at quit wrote nothing back";
    kit::UserDefaults::resetStandardUserDefaults();
    EXPECT_FALSE(store().objectForKey("menuSize"));
}

TEST_F(MenuTest, OtherTagsDoNothing)
{
    kit::MenuItem* item = controller->dropDownMenu->itemWithTag(30);
    for (int tag : {2, 23, 24, 33, 98, 100, -1}) {
        item->setTag(tag);
        controller->menuSelect(item);
    }
    controller->menuSelect(nullptr);
    EXPECT_FALSE(terminated);
    EXPECT_TRUE(playerRuns());
}

TEST_F(MenuTest, AClickHighlightsTheMarqueeWhileTheMenuIsOpen)
{
    bool highlightedWhileOpen = false;
    QMenu* menu = controller->dropDownMenu->qmenu();
    QTimer::singleShot(0, [&] {
        highlightedWhileOpen = controller->tunesView->highlighted();
        menu->close();
    });
    controller->tunesMenuClick(nullptr);
    EXPECT_TRUE(highlightedWhileOpen);
    EXPECT_FALSE(controller->tunesView->highlighted());
}

// Records where a window is moved to.
class MoveRecorder : public QObject {
public:
    std::vector<int> xs;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Move)
            xs.push_back(static_cast<QWidget*>(watched)->x());
        return false;
    }
};

TEST_F(MenuTest, ShakeMovesFiveTimesAndComesBack)
{
    kit::Window& window = *controller->introWnd;
    window.makeKeyAndOrderFront(nullptr);
    const kit::Rect before = window.frame();
    MoveRecorder recorder;
    window.widget()->installEventFilter(&recorder);
    const double start = clock.now();
    controller->shakeWindow(window);
    window.widget()->removeEventFilter(&recorder);

    EXPECT_NEAR(clock.now() - start, 0.2, 1e-9);
    EXPECT_EQ(window.frame(), before);
    const int x = window.widget()->x();
    EXPECT_EQ(recorder.xs, (std::vector<int>{x - 5, x + 5, x - 5, x + 5, x - 5, x}));
}

} // namespace
