// The rating submenu: six items tagged 0 to 5 for the ratings 0 to 100.
#include "zintara/Zintara.h"

#include "kit/Menu.h"
#include "kit/MenuItem.h"
#include "players/Player.h"
#include "script/Script.h"
#include "zintara/ScriptTable.h"

#include <algorithm>

namespace {
constexpr int kRatingItems = 6;
constexpr int kRatingStep = 20;
} // namespace

void Zintara::ratingMenu(kit::MenuItem* sender)
{
    if (!sender)
        return;
    const int tag = sender->tag();
    if (tag < 0 || tag >= kRatingItems)
        return;
    setTrackRating(tag * kRatingStep);
    if (m_player)
        m_player->beginPoll(); // a budget of its own, as for every command
    // Compiled afresh each time: a rating is chosen rarely.
    script::Script ratingScript(zintara::kRatingSources[tag], m_apps);
    ratingScript.compile();
    ratingScript.execute();
}

void Zintara::setTrackRating(int rating)
{
    if (!ratingSubmenu)
        return;
    for (int index = 0; index < kRatingItems; ++index) {
        if (kit::MenuItem* item = ratingSubmenu->itemAtIndex(index))
            item->setState(0);
    }
    // Floor division: negative ratings belong to the lowest item.
    const int tag = rating < 0 ? 0 : std::min(rating / kRatingStep, kRatingItems - 1);
    if (kit::MenuItem* item = ratingSubmenu->itemWithTag(tag))
        item->setState(1);
}
