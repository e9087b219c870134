// The controller's script runner and rating submenu against the built-in
// player.
#include "ControllerFixture.h"

#include "kit/Menu.h"
#include "kit/MenuItem.h"
#include "players/VirtualPlayer.h"

namespace {

class BridgeTest : public ControllerTest {
protected:
    int checkedRatingTag()
    {
        int checked = -1;
        int marks = 0;
        for (int position = 0; position < 6; ++position) {
            if (controller->ratingSubmenu->itemAtIndex(position)->state() == 1) {
                checked = controller->ratingSubmenu->itemAtIndex(position)->tag();
                ++marks;
            }
        }
        EXPECT_LE(marks, 1) << "one check mark at most";
        return checked;
    }
    std::int64_t currentRating()
    {
        auto& p = player().player();
        return p.track(p.currentTrack()).rating;
    }
};

TEST_F(BridgeTest, EverySlotIsNullBeforeTheTableIsBuilt)
{
    player().launch();
    for (int slot = 0; slot < Zintara::kScriptCount; ++slot)
        EXPECT_EQ(controller->runScript(slot), std::nullopt) << slot;
    EXPECT_EQ(controller->scripts[0], nullptr);
}

TEST_F(BridgeTest, QueriesAnswerFromThePlayerOnceCompiled)
{
    controller->initScripts();
    ASSERT_NE(controller->scripts[1], nullptr);
    player().launch();
    const auto& track = player().player().track(player().player().currentTrack());
    EXPECT_EQ(controller->runScript(1), track.name);
    EXPECT_EQ(controller->runScript(16), std::nullopt); // repeat off
    EXPECT_EQ(controller->runScript(4), "NN0");
    EXPECT_EQ(controller->runScript(19), std::to_string(track.rating));
    // Commands succeed with no result.
    EXPECT_EQ(controller->runScript(0), std::nullopt);
    EXPECT_EQ(controller->runScript(4), "YN0");
}

TEST_F(BridgeTest, NoSlotStartsThePlayer)
{
    controller->initScripts();
    for (int slot = 0; slot < Zintara::kScriptCount; ++slot)
        EXPECT_EQ(controller->runScript(slot), std::nullopt) << slot;
    EXPECT_FALSE(playerRuns());
}

TEST_F(BridgeTest, EmptyStrIsTrueOnlyForNullAndEmpty)
{
    EXPECT_TRUE(Zintara::emptyStr(std::nullopt));
    EXPECT_TRUE(Zintara::emptyStr(std::string()));
    EXPECT_FALSE(Zintara::emptyStr(std::string(" ")));
    EXPECT_FALSE(Zintara::emptyStr(std::string("0")));
}

TEST_F(BridgeTest, RatingThresholdsPlaceOneCheckMark)
{
    const std::pair<int, int> cases[] = {{19, 0}, {20, 1}, {39, 1}, {40, 2}, {79, 3}, {80, 4}, {99, 4},
                                         {100, 5}, {250, 5}, {-1, 0}, {-100, 0}, {0, 0}};
    for (const auto& [rating, tag] : cases) {
        controller->setTrackRating(rating);
        EXPECT_EQ(checkedRatingTag(), tag) << rating;
    }
}

TEST_F(BridgeTest, ChoosingARatingMarksItAndTellsThePlayer)
{
    player().launch();
    controller->ratingSubmenu->itemWithTag(3)->performAction();
    EXPECT_EQ(checkedRatingTag(), 3);
    EXPECT_EQ(currentRating(), 60);

    controller->ratingSubmenu->itemWithTag(0)->performAction();
    EXPECT_EQ(checkedRatingTag(), 0);
    EXPECT_EQ(currentRating(), 0);
}

TEST_F(BridgeTest, RatingScriptsLaunchAPlayerThatIsDown)
{
    // Unlike the table's scripts, the rating scripts have no guard.
    controller->ratingSubmenu->itemWithTag(5)->performAction();
    EXPECT_TRUE(playerRuns());
    EXPECT_EQ(checkedRatingTag(), 5);
    EXPECT_EQ(currentRating(), 100);
}

TEST_F(BridgeTest, RatingsOutsideTheMenuDoNothing)
{
    player().launch();
    const auto before = currentRating();
    kit::MenuItem* item = controller->ratingSubmenu->itemWithTag(2);
    item->setTag(6);
    controller->ratingMenu(item);
    item->setTag(-1);
    controller->ratingMenu(item);
    controller->ratingMenu(nullptr);
    EXPECT_EQ(currentRating(), before);
    EXPECT_EQ(checkedRatingTag(), -1);
}

} // namespace
