// Menu items: what a check mark that comes and goes leaves on screen.
#include "kit/Menu.h"
#include "kit/MenuItem.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QImage>
#include <QKeySequence>
#include <QMenu>
#include <QPixmap>

#include <gtest/gtest.h>

#include <memory>

using namespace kit;

namespace {

class MenuItemTest : public testing_support::KitTest {};

// A menu of "Off", "One", "All" as kit items, with a mark on "All".
struct ThreeItems {
    ThreeItems()
        : menu(new QMenu, true)
    {
        for (const char* title : {"Off", "One", "All"})
            menu.addItem(std::make_unique<MenuItem>(menu.qmenu()->addAction(QString::fromLatin1(title))));
        menu.itemAtIndex(2)->setState(1);
    }
    QImage picture()
    {
        menu.qmenu()->adjustSize();
        return menu.qmenu()->grab().toImage();
    }
    Menu menu;
};

TEST_F(MenuItemTest, AnItemUncheckedAgainLooksLikeOneNeverChecked)
{
    ThreeItems untouched;
    ThreeItems cycled;
    // The marks move from item to item as the player's mode changes.
    cycled.menu.itemAtIndex(0)->setState(1);
    cycled.menu.itemAtIndex(1)->setState(1);
    cycled.menu.itemAtIndex(0)->setState(0);
    cycled.menu.itemAtIndex(1)->setState(0);

    for (int index = 0; index < 3; ++index)
        EXPECT_EQ(cycled.menu.itemAtIndex(index)->state(), untouched.menu.itemAtIndex(index)->state()) << index;
    const QImage expected = untouched.picture();
    const QImage seen = cycled.picture();
    ASSERT_FALSE(expected.isNull());
    EXPECT_EQ(seen.size(), expected.size());
    EXPECT_TRUE(seen == expected) << "an unchecked item shows what a never-checked one shows";

    // A mark set again still shows, and choosing the item does not move it.
    cycled.menu.itemAtIndex(0)->setState(1);
    EXPECT_FALSE(cycled.picture() == expected);
    cycled.menu.itemAtIndex(1)->qaction()->trigger();
    EXPECT_EQ(cycled.menu.itemAtIndex(1)->state(), 0);
    cycled.menu.itemAtIndex(0)->qaction()->trigger();
    EXPECT_EQ(cycled.menu.itemAtIndex(0)->state(), 1);
}

// A title is plain text: a player's name with '&' in it takes no shortcut
// and shows every '&'.
TEST_F(MenuItemTest, ATitleIsShownAsWritten)
{
    ThreeItems items;
    MenuItem* item = items.menu.itemAtIndex(0);
    for (const std::string title : {"Quit Tom &Jerry & Co", "Quit a&&b &", "Quit MPD"}) {
        item->setTitle(title);
        EXPECT_EQ(item->title(), title);
        const QString text = item->qaction()->text();
        EXPECT_EQ(testing_support::shownText(text, Qt::PlainText, true).toStdString(), title);
        EXPECT_TRUE(QKeySequence::mnemonic(text).isEmpty()) << title;
    }
    // A tab would start the shortcut column.
    item->setTitle("Quit Tom\tJerry");
    EXPECT_EQ(item->title(), "Quit Tom Jerry");
}

} // namespace
