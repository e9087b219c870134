// The whole program with mpv playing and nothing chosen: the automatic
// player follows mpv, the line shows its track, the menu names and
// controls it.
#include "ControllerFixture.h"

#include "kit/Menu.h"
#include "kit/MenuItem.h"
#include "players/mpris/MprisPlayer.h"
#include "players/mpris/MprisWorld.h"
#include "zintara/Tags.h"
#include "zintara/TunesView.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

extern mpris_testing::MprisWorld* g_mprisWorld;

namespace {

class MprisProgramTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        ASSERT_NE(g_mprisWorld, nullptr);
        unsetenv("ZINTARA_PLAYER");
        rewindMpv();

        controller.reset();
        directory.reset();
        players::PlayerOptions options;
        options.player = players::effectivePlayerChoice("", "");
        auto made = players::PlayerFactory::make(options);
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<players::PlayerDirectory>>(made));
        directory = std::move(std::get<std::unique_ptr<players::PlayerDirectory>>(made));
        controller = std::make_unique<Zintara>(*directory);
        std::string error;
        ASSERT_TRUE(controller->loadInterface(&error)) << error;
        controller->setDefaultPrefs();
        controller->syncAppPrefsWithDefaults();
        controller->initScripts();
    }

    // mpv acts in its own time: wait, bounded, for what should follow.
    static bool eventually(const std::function<bool()>& done)
    {
        for (int i = 0; i < 250; ++i) {
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // mpv back on its first file and playing, however earlier tests left it.
    void rewindMpv()
    {
        players::MprisPlayer mpv("mpv", g_mprisWorld->mpvBusName());
        auto name = [&] {
            mpv.beginPoll();
            auto r = mpv.get({"mpv", {{script::Reference::Kind::Property, "current track", 0, {}},
                                         {script::Reference::Kind::Property, "name", 0, {}}}});
            return r.ok() ? r.value().asText() : std::string();
        };
        for (int i = 0; i < 5 && name() != "Alpha Song"; ++i) {
            const std::string before = name();
            mpv.command("previous track", std::nullopt);
            eventually([&] { return name() != before; });
        }
        mpv.command("play", std::nullopt);
        ASSERT_EQ(name(), "Alpha Song");
    }

    std::string line() { return controller->tunesView->displayStr(); }
};

TEST_F(MprisProgramTest, TheLineShowsWhatMpvPlaysAndTheMenuControlsIt)
{
    controller->timerFire(nullptr);
    EXPECT_NE(line().find("Alpha Song - Test Artist"), std::string::npos) << line();
    EXPECT_EQ(controller->playerDisplayName(), "mpv");
    EXPECT_EQ(controller->quitTunes->title(), "Quit mpv");

    kit::MenuItem* next = controller->dropDownMenu->itemWithTag(zintara::kTagNext);
    ASSERT_NE(next, nullptr);
    controller->menuSelect(next);
    EXPECT_TRUE(eventually([&] {
        controller->timerFire(nullptr);
        return line().find("Beta Song - Other Artist") != std::string::npos;
    })) << line();
}

} // namespace
