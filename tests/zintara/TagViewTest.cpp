#include "kit/Cursor.h"
#include "kit/Image.h"
#include "kit/Workspace.h"
#include "support/TestEnvironment.h"
#include "zintara/TagView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace {

void send(QWidget* widget, QEvent::Type type, QPointF at)
{
    testing_support::sendMouse(widget, type, at);
}

class TagViewTest : public testing_support::KitTest {
protected:
    void TearDown() override
    {
        kit::Cursor::arrowCursor().set();
        kit::Workspace::sharedWorkspace().setURLHandler(nullptr);
        KitTest::TearDown();
    }
};

TEST_F(TagViewTest, DrawsTheTagAtItsOriginAndNothingElse)
{
    TagView view(kit::Rect(0, 0, 140, 30));
    EXPECT_FALSE(view.isOpaque());
    auto image = view.renderedImage();
    ASSERT_TRUE(image);
    // Bottom-left 98 by 12 holds the picture; above and right stays clear.
    EXPECT_GT(image->colorAtPixel(40, 6).alphaComponent(), 0.5) << "inside the tag";
    EXPECT_EQ(image->colorAtPixel(40, 20).alphaComponent(), 0.0) << "above the tag";
    EXPECT_EQ(image->colorAtPixel(120, 6).alphaComponent(), 0.0) << "right of the tag";
}

TEST_F(TagViewTest, PointingHandOnlyOverTheTagArea)
{
    TagView view(kit::Rect(0, 0, 200, 40));
    view.widget()->show(); // placed in a window: the area is registered
    QWidget* w = view.widget();
    send(w, QEvent::MouseMove, QPointF(150, 35)); // outside, bottom right
    EXPECT_EQ(kit::Cursor::currentShape(), kit::Cursor::Shape::Arrow);
    send(w, QEvent::MouseMove, QPointF(50, 35)); // 5 points up from the bottom
    EXPECT_EQ(kit::Cursor::currentShape(), kit::Cursor::Shape::PointingHand);
    send(w, QEvent::MouseMove, QPointF(50, 10)); // 30 up: above the area
    EXPECT_EQ(kit::Cursor::currentShape(), kit::Cursor::Shape::Arrow);
}

TEST_F(TagViewTest, AClickAnywhereOpensTheMakersPage)
{
    std::vector<std::string> opened;
    kit::Workspace::sharedWorkspace().setURLHandler([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    TagView view(kit::Rect(0, 0, 200, 40));
    send(view.widget(), QEvent::MouseButtonPress, QPointF(190, 2)); // far outside the tag area
    EXPECT_EQ(opened, (std::vector<std::string>{TagView::kMakerURL}));
}

} // namespace
