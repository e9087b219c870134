// The system status bar: items laid out from the right end of a top strip,
// refusal of what does not fit, the view shown in an item and the menu popped
// up under it.
#include "kit/Menu.h"
#include "kit/RunLoop.h"
#include "kit/StatusBar.h"
#include "kit/StatusItem.h"
#include "kit/View.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

using namespace kit;

namespace {

class StatusBarTest : public testing_support::KitTest {
protected:
    void SetUp() override
    {
        KitTest::SetUp();
        bar().reset();
        bar().setWidthForTesting(200);
    }
    void TearDown() override
    {
        bar().reset();
        bar().setWidthForTesting(0);
        KitTest::TearDown();
    }

    static StatusBar& bar() { return StatusBar::systemStatusBar(); }

    // The item's left edge within the strip, in pixels.
    static int leftInStrip(const StatusItem* item) { return item->widget()->mapTo(bar().widget(), QPoint(0, 0)).x(); }
};

TEST_F(StatusBarTest, LaysItemsOutFromTheRightInCreationOrder)
{
    StatusItem* first = bar().statusItemWithLength(30);
    StatusItem* second = bar().statusItemWithLength(50);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->statusBar(), &bar());
    EXPECT_FLOAT_EQ(second->length(), 50);
    ASSERT_EQ(bar().items().size(), 2u);
    EXPECT_EQ(bar().items()[0].get(), first);
    EXPECT_EQ(bar().items()[1].get(), second);

    // The first item ends at the right edge; the later one is to its left.
    EXPECT_DOUBLE_EQ(first->x(), 170);
    EXPECT_DOUBLE_EQ(second->x(), 120);

    // The strip spans only the items and ends at the screen's right edge,
    // along its top.
    QWidget* strip = bar().widget();
    ASSERT_TRUE(strip);
    EXPECT_TRUE(strip->isVisible());
    EXPECT_TRUE(strip->isWindow());
    EXPECT_TRUE(strip->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(strip->windowFlags() & Qt::FramelessWindowHint);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(strip->geometry(), QRect(area.right() - 79, area.top(), 80, 26));
    EXPECT_EQ(leftInStrip(second), 0);
    EXPECT_EQ(leftInStrip(first), 50);
    EXPECT_EQ(first->widget()->size(), QSize(30, 26));
}

TEST_F(StatusBarTest, RefusesAnItemThatDoesNotFit)
{
    bar().setWidthForTesting(100);
    EXPECT_EQ(bar().statusItemWithLength(0), nullptr);
    EXPECT_EQ(bar().statusItemWithLength(-5), nullptr);
    EXPECT_EQ(bar().statusItemWithLength(std::numeric_limits<float>::quiet_NaN()), nullptr);
    EXPECT_EQ(bar().statusItemWithLength(std::numeric_limits<float>::infinity()), nullptr);
    EXPECT_EQ(bar().statusItemWithLength(101), nullptr);
    EXPECT_TRUE(bar().items().empty());

    ASSERT_TRUE(bar().statusItemWithLength(60));
    EXPECT_EQ(bar().statusItemWithLength(41), nullptr);
    EXPECT_TRUE(bar().statusItemWithLength(40)) << "an item that exactly fills the bar is taken";
    EXPECT_EQ(bar().statusItemWithLength(0.5f), nullptr);
    EXPECT_EQ(bar().items().size(), 2u);
}

// The strip follows its screen: when the work area changes it is laid out
// anew, and items that no longer fit are hidden until there is room again.
TEST_F(StatusBarTest, AScreenThatNarrowsHidesWhatNoLongerFits)
{
    StatusItem* first = bar().statusItemWithLength(120);
    StatusItem* second = bar().statusItemWithLength(50);
    ASSERT_TRUE(first && second);
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen->availableGeometry();

    bar().setWidthForTesting(150);
    emit screen->availableGeometryChanged(area);
    EXPECT_TRUE(first->widget()->isVisible());
    EXPECT_FALSE(second->widget()->isVisible());
    EXPECT_EQ(bar().widget()->width(), 120);
    EXPECT_EQ(leftInStrip(first), 0);

    bar().setWidthForTesting(400);
    emit screen->geometryChanged(screen->geometry());
    EXPECT_TRUE(second->widget()->isVisible());
    EXPECT_EQ(bar().widget()->width(), 170);
    EXPECT_DOUBLE_EQ(first->x(), 280);
    EXPECT_EQ(leftInStrip(second), 0);
}

TEST_F(StatusBarTest, RemovalLaysTheRestOutAgain)
{
    StatusItem* a = bar().statusItemWithLength(20);
    StatusItem* b = bar().statusItemWithLength(30);
    StatusItem* c = bar().statusItemWithLength(40);
    ASSERT_TRUE(a && b && c);

    bar().removeStatusItem(b);
    ASSERT_EQ(bar().items().size(), 2u);
    EXPECT_DOUBLE_EQ(a->x(), 180);
    EXPECT_DOUBLE_EQ(c->x(), 140);
    EXPECT_EQ(bar().widget()->width(), 60);
    EXPECT_EQ(leftInStrip(c), 0);
    EXPECT_EQ(leftInStrip(a), 40);

    // The room freed is usable again; a stranger is ignored.
    bar().setWidthForTesting(100);
    EXPECT_TRUE(bar().statusItemWithLength(40));
    StatusItem stranger(nullptr, 10);
    bar().removeStatusItem(&stranger);
    bar().removeStatusItem(nullptr);
    EXPECT_EQ(bar().items().size(), 3u);

    // An item replaced in one go (each save of the preferences) leaves the
    // strip mapped: a window manager drops a panel's marks from a window
    // it lets go.
    QWidget* strip = bar().widget();
    int hides = 0;
    struct HideCounter final : QObject {
        int* count;
        explicit HideCounter(int* c) : count(c) {}
        bool eventFilter(QObject*, QEvent* event) override
        {
            *count += event->type() == QEvent::Hide;
            return false;
        }
    } counter(&hides);
    strip->installEventFilter(&counter);
    while (!bar().items().empty())
        bar().removeStatusItem(bar().items().front().get());
    ASSERT_TRUE(bar().statusItemWithLength(40));
    QCoreApplication::processEvents();
    EXPECT_TRUE(strip->isVisible());
    EXPECT_EQ(hides, 0) << "the strip was unmapped while its item was replaced";

    bar().removeStatusItem(bar().items().front().get());
    QCoreApplication::processEvents();
    EXPECT_FALSE(strip->isVisible()) << "an empty bar is not shown";
    strip->removeEventFilter(&counter);
}

TEST_F(StatusBarTest, ShowsTheViewSizedToTheItem)
{
    bar().statusItemWithLength(50);
    StatusItem* item = bar().statusItemWithLength(40);
    View view(Rect(5, 7, 10, 10));
    item->setView(&view);

    EXPECT_EQ(item->view(), &view);
    EXPECT_EQ(view.frame().origin.x, 0);
    EXPECT_EQ(view.frame().origin.y, 0);
    EXPECT_EQ(view.frame().size.width, 40);
    EXPECT_EQ(view.frame().size.height, StatusBar::kThickness);
    QWidget* w = view.widget();
    EXPECT_EQ(w->window(), bar().widget());
    EXPECT_EQ(w->size(), QSize(40, 26));
    EXPECT_EQ(w->mapTo(bar().widget(), QPoint(0, 0)), QPoint(0, 0));
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(view.isWindowVisible());
}

TEST_F(StatusBarTest, ReplacingOrDroppingTheItemLeavesTheViewAlive)
{
    StatusItem* item = bar().statusItemWithLength(40);
    View first(Rect(0, 0, 10, 10));
    View second(Rect(0, 0, 10, 10));
    item->setView(&first);
    item->setView(&second);

    ASSERT_TRUE(first.widget()) << "the replaced view keeps its widget";
    EXPECT_NE(first.widget()->window(), bar().widget());
    EXPECT_EQ(item->view(), &second);
    EXPECT_EQ(second.widget()->window(), bar().widget());

    bar().removeStatusItem(item);
    ASSERT_TRUE(second.widget()) << "dropping the item keeps the view's widget";
    EXPECT_FALSE(second.widget()->isVisible());
    EXPECT_NE(second.widget()->window(), bar().widget());
    second.setFrame(Rect(0, 0, 12, 12)); // still usable
    EXPECT_EQ(second.widget()->size(), QSize(12, 12));
}

TEST_F(StatusBarTest, AViewMayGoBeforeItsItem)
{
    StatusItem* item = bar().statusItemWithLength(40);
    auto view = std::make_unique<View>(Rect(0, 0, 10, 10));
    item->setView(view.get());
    view.reset();
    EXPECT_EQ(item->view(), nullptr);

    View next(Rect(0, 0, 10, 10));
    item->setView(&next);
    EXPECT_EQ(next.widget()->window(), bar().widget());
    bar().removeStatusItem(item);
    EXPECT_TRUE(next.widget());
}

TEST_F(StatusBarTest, MenuRunsInEventTrackingModeUnderTheItem)
{
    StatusItem* item = bar().statusItemWithLength(40);
    Menu menu(new QMenu, true);
    menu.qmenu()->addAction(QStringLiteral("Quit"));

    RunLoopMode modeWhileOpen = RunLoopMode::Default;
    bool wasOpen = false;
    QPoint menuTopLeft;
    QTimer::singleShot(0, [&] {
        modeWhileOpen = RunLoop::main().currentMode();
        wasOpen = menu.qmenu()->isVisible();
        menuTopLeft = menu.qmenu()->pos();
        menu.qmenu()->close();
    });
    item->popUpStatusItemMenu(menu);

    EXPECT_TRUE(wasOpen);
    EXPECT_EQ(modeWhileOpen, RunLoopMode::EventTracking);
    EXPECT_EQ(RunLoop::main().currentMode(), RunLoopMode::Default);
    EXPECT_FALSE(menu.qmenu()->isVisible());
    const QRect strip = bar().widget()->geometry();
    EXPECT_EQ(menuTopLeft.y(), strip.bottom() + 1) << "the menu opens below the strip";
}

} // namespace
