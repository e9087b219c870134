// The marquee's painting, on the pixels of the view rendered off screen.
// Where the test needs to know exactly what the line image holds, it puts
// its own image into `img` (the drawing only composites that field).
#include "kit/Graphics.h"
#include "kit/Image.h"
#include "support/TestEnvironment.h"
#include "zintara/TunesView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

using kit::Color;
using kit::Image;
using kit::Rect;

namespace {

constexpr double kH = 26.0;

class TunesViewDrawingTest : public testing_support::KitTest {
protected:
    std::unique_ptr<TunesView> marquee(double width)
    {
        auto view = std::make_unique<TunesView>(Rect(0, 0, width, kH));
        view->setDrawShadow(false);
        return view;
    }

    // A line whose image is `width` points of opaque blue, with one green
    // column at image x = `marker` (none when negative).
    static void giveLine(TunesView& view, double width, int marker = -1)
    {
        view.setDisplayStr("line");
        view.setStrWidth(static_cast<float>(width));
        view.setImg(std::make_unique<Image>(kit::Size{width, kH}));
        view.img()->lockFocus();
        Color::colorWithDeviceRed(0, 0, 1, 1).set();
        kit::NSRectFill(Rect(0, 0, width, kH));
        if (marker >= 0) {
            Color::colorWithDeviceRed(0, 1, 0, 1).set();
            kit::NSRectFill(Rect(marker, 0, 1, kH));
        }
        view.img()->unlockFocus();
    }

    // A line with nothing visible in it (one blank).
    static void giveBlankLine(TunesView& view)
    {
        view.setDisplayString(" ");
        view.setDrawNotes(false);
        view.needsTotalRefresh();
    }

    static double alpha(const Image& image, int x, int y) { return image.colorAtPixel(x, y).alphaComponent(); }
    static bool isGreen(const Image& image, int x, int y)
    {
        const Color c = image.colorAtPixel(x, y);
        return c.greenComponent() > 0.9 && c.blueComponent() < 0.1;
    }
    // The view columns showing the green marker.
    static std::vector<int> markerColumns(const Image& image)
    {
        std::vector<int> columns;
        for (int x = 0; x < image.pixelsWide(); ++x)
            if (isGreen(image, x, 10))
                columns.push_back(x);
        return columns;
    }
};

TEST_F(TunesViewDrawingTest, ProgressBarOutlineAndFillHeight)
{
    auto view = marquee(120);
    view->setFontColor(Color::redColor());
    giveBlankLine(*view);
    // The bar spans x 114..117 and y 3..19; its interior is x 115..116.
    for (float perc : {0.0f, 0.5f, 1.0f}) {
        view->setTimePerc(perc);
        auto image = view->renderedImage();
        for (int y = 3; y < 20; ++y) {
            EXPECT_EQ(alpha(*image, 114, y), 1.0) << perc << " left edge " << y;
            EXPECT_EQ(alpha(*image, 117, y), 1.0) << perc << " right edge " << y;
            EXPECT_EQ(alpha(*image, 113, y), 0.0) << perc << " outside " << y;
            EXPECT_EQ(alpha(*image, 118, y), 0.0) << perc << " outside " << y;
        }
        EXPECT_EQ(alpha(*image, 115, 3), 1.0);
        EXPECT_EQ(alpha(*image, 116, 19), 1.0) << "top edge";
        EXPECT_EQ(alpha(*image, 115, 2), 0.0);
        EXPECT_EQ(alpha(*image, 115, 20), 0.0);
        // Fill rises 17 * perc points from y = 3.
        const double top = 3.0 + 17.0 * perc;
        for (int y = 4; y < 19; ++y) {
            const double expected = std::clamp(top - y, 0.0, 1.0);
            EXPECT_NEAR(alpha(*image, 115, y), expected, 0.02) << perc << " row " << y;
            EXPECT_NEAR(alpha(*image, 116, y), expected, 0.02) << perc << " row " << y;
        }
        EXPECT_EQ(image->colorAtPixel(114, 10), Color::redColor()) << "the font colour";
    }
}

TEST_F(TunesViewDrawingTest, PieWedgeGrowsClockwiseFromTwelve)
{
    auto view = marquee(120);
    view->setPieStyle(1);
    giveBlankLine(*view);
    // Centre (110, 12), radius 8: sample each quadrant 4 points out.
    struct Q {
        double tr, tl, bl, br;
    };
    auto quadrants = [&](float perc) {
        view->setTimePerc(perc);
        auto image = view->renderedImage();
        return Q{alpha(*image, 113, 15), alpha(*image, 106, 15), alpha(*image, 106, 8), alpha(*image, 113, 8)};
    };
    Q q = quadrants(0.25f);
    EXPECT_EQ(q.tr, 1.0);
    EXPECT_EQ(q.tl + q.bl + q.br, 0.0);
    q = quadrants(0.5f);
    EXPECT_EQ(q.tr + q.br, 2.0);
    EXPECT_EQ(q.tl + q.bl, 0.0);
    q = quadrants(0.0f);
    EXPECT_EQ(q.tr + q.tl + q.bl + q.br, 0.0);
    q = quadrants(1.0f);
    EXPECT_EQ(q.tr + q.tl + q.bl + q.br, 4.0);

    // The circle's outline is there with an empty wedge too: radius 8 about
    // (110, 12) crosses the pixels left and right of the centre row.
    view->setTimePerc(0.0f);
    auto image = view->renderedImage();
    EXPECT_GT(alpha(*image, 102, 11), 0.3);
    EXPECT_GT(alpha(*image, 117, 12), 0.3);
    EXPECT_EQ(alpha(*image, 110, 12), 0.0);
    EXPECT_EQ(alpha(*image, 100, 12), 0.0);
}

TEST_F(TunesViewDrawingTest, FadeColumnsStepOpacityAtBothEnds)
{
    auto view = marquee(120);
    view->setPieStyle(0);
    giveLine(*view, 1000);
    view->setOffset(-300.0f); // the image covers the whole view
    auto image = view->renderedImage();
    for (int i = 0; i < 10; ++i) {
        EXPECT_NEAR(alpha(*image, i, 10), (i + 1) / 10.0, 0.01) << i;
        EXPECT_NEAR(alpha(*image, 119 - i, 10), (i + 1) / 10.0, 0.01) << i;
    }
    for (int x = 10; x < 110; ++x)
        ASSERT_EQ(alpha(*image, x, 10), 1.0) << x;

    // With the pie, the text area ends 22 points early and nothing of the
    // line is drawn under the pie.
    view->setPieStyle(1);
    view->setTimePerc(0.0f);
    image = view->renderedImage();
    EXPECT_NEAR(alpha(*image, 97, 1), 0.1, 0.01);
    EXPECT_NEAR(alpha(*image, 88, 1), 1.0, 0.01);
    EXPECT_EQ(alpha(*image, 98, 1), 0.0);
    EXPECT_EQ(alpha(*image, 119, 1), 0.0);
}

TEST_F(TunesViewDrawingTest, WithoutFadeEdgesTheLineIsFullyOpaqueToBothEnds)
{
    auto view = marquee(120);
    view->setPieStyle(2);
    view->setFadeEdges(false);
    giveLine(*view, 1000);
    view->setOffset(-300.0f);
    auto image = view->renderedImage();
    for (int x = 0; x < 112; ++x)
        ASSERT_EQ(image->colorAtPixel(x, 1), Color::colorWithDeviceRed(0, 0, 1, 1)) << x;
    EXPECT_EQ(alpha(*image, 112, 1), 0.0) << "the bar's room";
}

TEST_F(TunesViewDrawingTest, ScrollingLineIsATranslationByTheTruncatedOffset)
{
    auto view = marquee(120);
    view->setPieStyle(0);
    view->setFadeEdges(false);
    giveLine(*view, 300, 5);
    // A new line: offset -60, the image begins at the middle of the view.
    view->setOffset(-60.0f);
    auto image = view->renderedImage();
    EXPECT_EQ(markerColumns(*image), std::vector<int>{65});
    EXPECT_EQ(alpha(*image, 59, 10), 0.0);
    EXPECT_EQ(alpha(*image, 60, 10), 1.0);
    // Offsets move in whole points, truncated toward zero.
    view->setOffset(-60.9f);
    EXPECT_EQ(markerColumns(*view->renderedImage()), std::vector<int>{65});
    view->setOffset(-61.0f);
    EXPECT_EQ(markerColumns(*view->renderedImage()), std::vector<int>{64});

    // At rest with scrolling disabled: start at the left end, or 6 points
    // before it with the pie.
    view->setOffset(-120.0f);
    EXPECT_EQ(markerColumns(*view->renderedImage()), std::vector<int>{5});
    view->setPieStyle(1); // X0 = 98 - 120 + 16
    view->setTimePerc(0.0f);
    view->setScrollingDisabled(true);
    giveLine(*view, 300, 10);
    EXPECT_EQ(markerColumns(*view->renderedImage()), std::vector<int>{4});
}

TEST_F(TunesViewDrawingTest, StandingLineIsRightAlignedAndIgnoresTheOffset)
{
    auto view = marquee(120);
    view->setPieStyle(2); // text area 112
    view->setDrawNotes(false);
    // With notes off a line up to 20 points wider than the text area stands.
    giveLine(*view, 131, 130);
    for (float offset : {0.0f, -40.0f, -77.0f}) {
        view->setOffset(offset);
        auto image = view->renderedImage();
        EXPECT_EQ(markerColumns(*image), std::vector<int>{111}) << offset;
        EXPECT_EQ(alpha(*image, 0, 10), 1.0) << "drawn from x = -19, full opacity";
    }
    // Any wider and it scrolls, from X0 = 112 - 77.
    giveLine(*view, 132, 10);
    view->setOffset(-77.0f);
    EXPECT_EQ(markerColumns(*view->renderedImage()), std::vector<int>{45});
}

TEST_F(TunesViewDrawingTest, StandingLineWithThePieEndsWhereThePieBegins)
{
    auto view = marquee(120);
    view->setPieStyle(1); // text area 98
    view->setTimePerc(0.0f);
    view->setDrawNotes(false);
    giveLine(*view, 117, 116);
    view->setOffset(-40.0f);
    auto image = view->renderedImage();
    EXPECT_EQ(markerColumns(*image), std::vector<int>{97});
    EXPECT_EQ(alpha(*image, 0, 10), 1.0) << "drawn from x = -19";
    for (int x = 98; x < 101; ++x)
        EXPECT_EQ(alpha(*image, x, 10), 0.0) << "nothing under the pie: " << x;
    // Any wider and it scrolls, from X0 = 98 - 40.
    giveLine(*view, 118, 10);
    EXPECT_EQ(markerColumns(*view->renderedImage()), std::vector<int>{68});
}

TEST_F(TunesViewDrawingTest, FitTestCountsSixteenForNotesEvenWithScrollingDisabled)
{
    auto view = marquee(120);
    view->setPieStyle(0); // text area 120
    view->setDrawNotes(true);
    view->setScrollingDisabled(true); // the image would hold no notes
    view->setOffset(-120.0f);
    // Stands only while strWidth < A + 4.
    giveLine(*view, 123, 122);
    EXPECT_EQ(markerColumns(*view->renderedImage()), std::vector<int>{119});
    giveLine(*view, 124, 123);
    // Scrolls instead: at rest with X0 = 0, the marker is past the view.
    EXPECT_EQ(markerColumns(*view->renderedImage()), std::vector<int>{});
    giveLine(*view, 124, 100);
    EXPECT_EQ(markerColumns(*view->renderedImage()), std::vector<int>{100});

    view->setDrawNotes(false);
    giveLine(*view, 124, 123);
    EXPECT_EQ(markerColumns(*view->renderedImage()), std::vector<int>{119});
}

TEST_F(TunesViewDrawingTest, StaticTagWithHairlinesOnAWideView)
{
    auto view = marquee(200);
    view->setDisplayStaticTag(true);
    giveLine(*view, 1000); // not drawn under the tag
    view->setOffset(-300.0f);
    auto image = view->renderedImage();
    // Hairlines at y = 13.5: row 13; left from 2.5 to 40.5, right from 197.5
    // back to 160.5; g = 40.
    for (int x : {3, 20, 39, 161, 180, 196}) {
        EXPECT_NEAR(alpha(*image, x, 13), 0.2, 0.01) << x;
        EXPECT_EQ(image->colorAtPixel(x, 13).redComponent(), 0.0) << x;
        EXPECT_EQ(alpha(*image, x, 12), 0.0) << x;
        EXPECT_EQ(alpha(*image, x, 14), 0.0) << x;
    }
    EXPECT_NEAR(alpha(*image, 2, 13), 0.1, 0.01);
    EXPECT_EQ(alpha(*image, 1, 13), 0.0);
    EXPECT_EQ(alpha(*image, 198, 13), 0.0);
    EXPECT_NEAR(alpha(*image, 160, 13), 0.1, 0.01) << "the right one ends half into column 160";
    // Inside the tag area the hairlines' row holds the tag alone.
    Image* tag = Image::imageNamed("statictag.png");
    ASSERT_NE(tag, nullptr);
    Image tagAlone(kit::Size{200, kH});
    tagAlone.lockFocus();
    tag->drawAtPoint({40, 3}, kit::ZeroRect, kit::CompositingOperation::SourceOver, 0.4);
    tagAlone.unlockFocus();
    for (int x = 41; x < 160; ++x)
        EXPECT_NEAR(alpha(*image, x, 13), alpha(tagAlone, x, 13), 0.005) << x;
    // The tag image at 0.4 opacity, within its 120 by 20 area from (40, 3).
    double strongest = 0.0;
    for (int y = 0; y < 26; ++y)
        for (int x = 0; x < 200; ++x) {
            const double a = alpha(*image, x, y);
            if (x < 40 || x >= 160 || y < 3 || y >= 23) {
                if (y != 13) {
                    ASSERT_EQ(a, 0.0) << x << "," << y;
                }
            } else {
                strongest = std::max(strongest, a);
            }
        }
    EXPECT_NEAR(strongest, 0.4, 0.02);
}

TEST_F(TunesViewDrawingTest, StaticTagOnANarrowViewIsOneHairline)
{
    auto view = marquee(100);
    view->setDisplayStaticTag(true);
    view->setDemoView(true);
    giveLine(*view, 1000);
    auto image = view->renderedImage();
    for (int x = 0; x < 99; ++x)
        ASSERT_NEAR(alpha(*image, x, 13), 0.2, 0.01) << x;
    EXPECT_NEAR(alpha(*image, 99, 13), 0.1, 0.01);
    for (int y = 0; y < 26; ++y) {
        for (int x = 0; x < 100 && y != 13; ++x)
            ASSERT_EQ(alpha(*image, x, y), 0.0) << "no image, no outline, no line: " << x << "," << y;
    }
}

TEST_F(TunesViewDrawingTest, HighlightLiesUnderTheStaticTag)
{
    auto view = marquee(200);
    view->setDisplayStaticTag(true);
    view->setHighlighted(true);
    auto image = view->renderedImage();
    const Color highlight = Color::selectedMenuItemColor();
    EXPECT_EQ(image->colorAtPixel(0, 0), image->colorAtPixel(199, 25));
    EXPECT_NEAR(image->colorAtPixel(0, 0).blueComponent(), highlight.blueComponent(), 0.01);
    EXPECT_EQ(alpha(*image, 0, 0), 1.0);
    // Black at 0.2 over the highlight.
    const Color line = image->colorAtPixel(20, 13);
    EXPECT_NEAR(line.redComponent(), highlight.redComponent() * 0.8, 0.01);
    EXPECT_NEAR(line.blueComponent(), highlight.blueComponent() * 0.8, 0.01);

    // Without a line only the highlight is painted.
    view->setDisplayStaticTag(false);
    image = view->renderedImage();
    EXPECT_EQ(image->colorAtPixel(20, 13), image->colorAtPixel(0, 0));
}

TEST_F(TunesViewDrawingTest, DemoOutlineOnlyWithALine)
{
    auto view = marquee(120);
    view->setDemoView(true);
    view->setDisplayString(" ");
    view->setDisplayString("");
    auto image = view->renderedImage();
    for (int y = 0; y < 26; ++y)
        for (int x = 0; x < 120; ++x)
            ASSERT_EQ(alpha(*image, x, y), 0.0) << "no outline and no indicator: " << x << "," << y;

    giveBlankLine(*view);
    image = view->renderedImage();
    for (auto [x, y] : {std::pair{0, 0}, {0, 25}, {119, 0}, {119, 25}, {60, 0}, {60, 25}, {0, 12}, {119, 12}})
        EXPECT_EQ(image->colorAtPixel(x, y), Color::redColor()) << x << "," << y;
    EXPECT_EQ(alpha(*image, 60, 12), 0.0);
    EXPECT_EQ(alpha(*image, 114, 10), 1.0) << "the bar";
}

TEST_F(TunesViewDrawingTest, MissingBundleImagesDrawNothingOfThem)
{
    std::filesystem::remove(bundlePath() + "/Contents/Resources/statictag.png");
    std::filesystem::remove(bundlePath() + "/Contents/Resources/statictag@2x.png");
    std::filesystem::remove(bundlePath() + "/Contents/Resources/noteIcon.png");
    std::filesystem::remove(bundlePath() + "/Contents/Resources/noteIcon@2x.png");
    auto view = marquee(200);
    view->setDisplayStaticTag(true);
    auto image = view->renderedImage();
    EXPECT_NEAR(alpha(*image, 20, 13), 0.2, 0.01);
    EXPECT_EQ(alpha(*image, 100, 10), 0.0);

    view->setDisplayString("x");
    for (int x = 0; x < 18; ++x)
        for (int y = 0; y < 26; ++y)
            ASSERT_EQ(alpha(*view->img(), x, y), 0.0);
}

TEST_F(TunesViewDrawingTest, RealLineRendersCrisplyAtDoubleDensity)
{
    auto view = marquee(120);
    view->setDrawShadow(true);
    view->setDisplayString("Song Title - Artist Name - Album Title");
    view->setOffset(-20.0f);
    auto flat = view->renderedImage(1.0);
    auto dense = view->renderedImage(2.0);
    ASSERT_EQ(dense->pixelsWide(), 240);
    // The same picture: wherever the 1x render has solid ink the 2x one has
    // ink in that point's four pixels.
    int checked = 0;
    for (int y = 0; y < 26; ++y)
        for (int x = 10; x < 100; ++x)
            if (alpha(*flat, x, y) > 0.9) {
                ++checked;
                const double sum = alpha(*dense, 2 * x, 2 * y) + alpha(*dense, 2 * x + 1, 2 * y)
                                 + alpha(*dense, 2 * x, 2 * y + 1) + alpha(*dense, 2 * x + 1, 2 * y + 1);
                EXPECT_GT(sum, 0.5) << x << "," << y;
            }
    EXPECT_GT(checked, 20);
}

} // namespace
