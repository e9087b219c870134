// The drawing kit on pixels: every test draws into an off-screen image and
// reads it back, origin bottom-left, one pixel per point unless stated.
#include "kit/BezierPath.h"
#include "kit/Color.h"
#include "kit/Font.h"
#include "kit/Graphics.h"
#include "kit/Image.h"
#include "kit/Shadow.h"
#include "kit/StringDrawing.h"
#include "kit/View.h"
#include "support/TestEnvironment.h"

#include <QFontDatabase>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

using namespace kit;

namespace {

double alphaAt(const Image& image, int x, int y)
{
    return image.colorAtPixel(x, y).alphaComponent();
}

// The columns and rows holding any ink (alpha above `threshold`).
struct InkBox {
    int minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1;
    bool empty() const { return maxX < 0; }
    double centreX() const { return (minX + maxX + 1) * 0.5; }
    double centreY() const { return (minY + maxY + 1) * 0.5; }
};

InkBox inkOf(const Image& image, double threshold = 0.05)
{
    InkBox box;
    for (int y = 0; y < image.pixelsHigh(); ++y)
        for (int x = 0; x < image.pixelsWide(); ++x)
            if (alphaAt(image, x, y) > threshold) {
                box.minX = std::min(box.minX, x);
                box.maxX = std::max(box.maxX, x);
                box.minY = std::min(box.minY, y);
                box.maxY = std::max(box.maxY, y);
            }
    return box;
}

// Draws with `paint` into a fresh transparent image.
template <typename Paint>
std::unique_ptr<Image> drawn(Size size, Paint paint, double scale = 1.0)
{
    auto image = std::make_unique<Image>(size, scale);
    image->lockFocus();
    paint();
    image->unlockFocus();
    return image;
}

std::unique_ptr<Image> solid(Size size, const Color& color)
{
    return drawn(size, [&] {
        color.set();
        NSRectFill(Rect(Point{}, size));
    });
}

TextAttributes plainText(std::optional<Font> font = std::nullopt)
{
    TextAttributes attributes;
    attributes.foregroundColor = Color::blackColor();
    attributes.font = font;
    return attributes;
}

class DrawingTest : public testing_support::KitTest {};

TEST_F(DrawingTest, OriginIsBottomLeftAndImagesStartTransparent)
{
    auto image = drawn({10, 8}, [] {
        Color::redColor().set();
        NSRectFill(Rect(0, 0, 2, 1));
    });
    EXPECT_EQ(image->size(), (Size{10, 8}));
    // The bottom row of the stored bitmap is its last scan line.
    const QImage& bits = image->bitmap();
    EXPECT_EQ(bits.pixelColor(0, 7), QColor(Qt::red));
    EXPECT_EQ(bits.pixelColor(1, 7), QColor(Qt::red));
    EXPECT_EQ(bits.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(bits.pixelColor(2, 7).alpha(), 0);
    EXPECT_EQ(image->colorAtPixel(0, 0), Color::redColor());
}

TEST_F(DrawingTest, RectFillReplacesAndFrameRectLiesInsideTheRectangle)
{
    auto image = drawn({12, 12}, [] {
        Color::blackColor().set();
        NSRectFill(Rect(0, 0, 12, 12));
        // A translucent fill replaces what is there rather than blending.
        Color::colorWithDeviceRed(0, 0, 1, 0.5).set();
        NSRectFill(Rect(0, 0, 2, 2));
        Color::redColor().set();
        NSFrameRect(Rect(4, 4, 6, 5));
    });
    EXPECT_NEAR(alphaAt(*image, 1, 1), 0.5, 0.01);
    EXPECT_NEAR(image->colorAtPixel(1, 1).blueComponent(), 1.0, 0.01);
    for (int y = 4; y <= 8; ++y) {
        EXPECT_EQ(image->colorAtPixel(4, y), Color::redColor()) << y;
        EXPECT_EQ(image->colorAtPixel(9, y), Color::redColor()) << y;
    }
    for (int x = 4; x <= 9; ++x) {
        EXPECT_EQ(image->colorAtPixel(x, 4), Color::redColor()) << x;
        EXPECT_EQ(image->colorAtPixel(x, 8), Color::redColor()) << x;
    }
    EXPECT_EQ(image->colorAtPixel(5, 5), Color::blackColor()); // inside the outline
    EXPECT_EQ(image->colorAtPixel(3, 4), Color::blackColor()); // outside it
    EXPECT_EQ(image->colorAtPixel(10, 8), Color::blackColor());
    EXPECT_EQ(image->colorAtPixel(4, 9), Color::blackColor());
}

TEST_F(DrawingTest, RectFillWithNegativeHeightFillsDownwards)
{
    auto image = drawn({4, 10}, [] {
        Color::redColor().set();
        NSRectFill(Rect(0, 6, 4, -3));
    });
    EXPECT_EQ(alphaAt(*image, 1, 2), 0.0);
    EXPECT_EQ(alphaAt(*image, 1, 3), 1.0);
    EXPECT_EQ(alphaAt(*image, 1, 5), 1.0);
    EXPECT_EQ(alphaAt(*image, 1, 6), 0.0);
}

TEST_F(DrawingTest, ColoursKeepDeviceComponents)
{
    const Color c = Color::colorWithDeviceRed(0.25, 0.5, 0.75, 1.0);
    EXPECT_DOUBLE_EQ(c.redComponent(), 0.25);
    EXPECT_DOUBLE_EQ(c.greenComponent(), 0.5);
    EXPECT_DOUBLE_EQ(c.blueComponent(), 0.75);
    const Color grey = Color::colorWithDeviceWhite(0.3, 0.2);
    EXPECT_DOUBLE_EQ(grey.redComponent(), 0.3);
    EXPECT_DOUBLE_EQ(grey.blueComponent(), 0.3);
    EXPECT_DOUBLE_EQ(grey.alphaComponent(), 0.2);
    EXPECT_NEAR(Color::darkGrayColor().greenComponent(), 1.0 / 3.0, 1e-9);
    EXPECT_EQ(Color::selectedMenuItemColor().alphaComponent(), 1.0);
}

// Quadrant samples 4 points from the centre of a radius-8 disc at (10, 10).
struct Quadrants {
    double topRight, topLeft, bottomLeft, bottomRight;
};

Quadrants quadrantsOf(const Image& image)
{
    return {alphaAt(image, 13, 13), alphaAt(image, 6, 13), alphaAt(image, 6, 6), alphaAt(image, 13, 6)};
}

Quadrants wedge(double start, double end, bool clockwise)
{
    auto image = drawn({20, 20}, [&] {
        Color::blackColor().set();
        BezierPath path;
        path.moveToPoint({10, 10});
        path.appendBezierPathWithArcWithCenter({10, 10}, 8, start, end, clockwise);
        path.fill();
    });
    return quadrantsOf(*image);
}

TEST_F(DrawingTest, ArcsCountDegreesCounterClockwiseFromTheXAxis)
{
    // 90 to 0 clockwise: 12 o'clock to 3 o'clock, the top-right quarter.
    Quadrants q = wedge(90, 0, true);
    EXPECT_EQ(q.topRight, 1.0);
    EXPECT_EQ(q.topLeft, 0.0);
    EXPECT_EQ(q.bottomLeft, 0.0);
    EXPECT_EQ(q.bottomRight, 0.0);

    // The same angles counter-clockwise go the long way round.
    q = wedge(90, 0, false);
    EXPECT_EQ(q.topRight, 0.0);
    EXPECT_EQ(q.topLeft, 1.0);
    EXPECT_EQ(q.bottomLeft, 1.0);
    EXPECT_EQ(q.bottomRight, 1.0);

    // 90 to 180 counter-clockwise: the top-left quarter.
    q = wedge(90, 180, false);
    EXPECT_EQ(q.topLeft, 1.0);
    EXPECT_EQ(q.topRight + q.bottomLeft + q.bottomRight, 0.0);
}

TEST_F(DrawingTest, ArcOfNoSweepIsEmptyAndAWholeTurnIsAFullDisc)
{
    Quadrants q = wedge(90, 90, true);
    EXPECT_EQ(q.topRight + q.topLeft + q.bottomLeft + q.bottomRight, 0.0);
    q = wedge(90, 90 - 360, true);
    EXPECT_EQ(q.topRight + q.topLeft + q.bottomLeft + q.bottomRight, 4.0);
}

TEST_F(DrawingTest, ArcStartsWithALineFromTheCurrentPoint)
{
    BezierPath path;
    path.moveToPoint({0, 0});
    path.appendBezierPathWithArcWithCenter({10, 10}, 5, 0, 90, false);
    // The path begins at the current point and reaches the arc's end.
    EXPECT_NEAR(path.bounds().minX(), 0.0, 1e-9);
    EXPECT_NEAR(path.bounds().minY(), 0.0, 1e-9);
    EXPECT_NEAR(path.currentPoint().x, 10.0, 1e-9);
    EXPECT_NEAR(path.currentPoint().y, 15.0, 1e-9);
    // Without a current point the arc starts the path.
    BezierPath alone;
    alone.appendBezierPathWithArcWithCenter({10, 10}, 5, 0, 90, false);
    EXPECT_NEAR(alone.bounds().minX(), 10.0, 1e-9);
    EXPECT_NEAR(alone.bounds().maxX(), 15.0, 1e-9);
}

TEST_F(DrawingTest, StrokeIsOnePointWideWithButtEnds)
{
    auto image = drawn({12, 6}, [] {
        Color::blackColor().set();
        BezierPath path;
        path.moveToPoint({2, 2.5});
        path.lineToPoint({9, 2.5});
        path.stroke();
    });
    EXPECT_EQ(alphaAt(*image, 2, 2), 1.0);
    EXPECT_EQ(alphaAt(*image, 8, 2), 1.0);
    EXPECT_EQ(alphaAt(*image, 1, 2), 0.0); // no square cap beyond the ends
    EXPECT_EQ(alphaAt(*image, 9, 2), 0.0);
    EXPECT_EQ(alphaAt(*image, 5, 1), 0.0);
    EXPECT_EQ(alphaAt(*image, 5, 3), 0.0);
}

TEST_F(DrawingTest, ImageDrawsOnlyTheSourcePartsInsideIt)
{
    auto source = solid({4, 4}, Color::redColor());
    auto image = drawn({12, 6}, [&] {
        // A 6-wide source starting 2 points left of the image: only its
        // right 4 columns exist, and they land where they would have.
        source->drawInRect(Rect(3, 1, 6, 4), Rect(-2, 0, 6, 4), CompositingOperation::SourceOver, 1.0);
    });
    EXPECT_EQ(alphaAt(*image, 4, 2), 0.0);
    EXPECT_EQ(alphaAt(*image, 5, 2), 1.0);
    EXPECT_EQ(alphaAt(*image, 8, 2), 1.0);
    EXPECT_EQ(alphaAt(*image, 9, 2), 0.0);
    EXPECT_EQ(alphaAt(*image, 6, 0), 0.0);
    EXPECT_EQ(alphaAt(*image, 6, 4), 1.0);
    EXPECT_EQ(alphaAt(*image, 6, 5), 0.0);

    // A source wholly outside draws nothing at all.
    auto none = drawn({12, 6}, [&] {
        source->drawInRect(Rect(0, 0, 3, 4), Rect(-5, 0, 3, 4), CompositingOperation::SourceOver, 1.0);
        source->drawInRect(Rect(0, 0, 3, 4), Rect(4, 0, 3, 4), CompositingOperation::SourceOver, 1.0);
    });
    EXPECT_TRUE(inkOf(*none, 0.0).empty());
}

TEST_F(DrawingTest, SourcePartsKeepTheirOrientation)
{
    // Bottom half red, top half blue; a copy of the top half stays blue.
    auto source = drawn({2, 4}, [] {
        Color::redColor().set();
        NSRectFill(Rect(0, 0, 2, 2));
        Color::colorWithDeviceRed(0, 0, 1, 1).set();
        NSRectFill(Rect(0, 2, 2, 2));
    });
    auto image = drawn({2, 4}, [&] {
        source->drawInRect(Rect(0, 0, 2, 2), Rect(0, 2, 2, 2), CompositingOperation::SourceOver, 1.0);
        source->drawAtPoint({0, 2}, ZeroRect, CompositingOperation::SourceOver, 1.0);
    });
    EXPECT_EQ(image->colorAtPixel(0, 0).blueComponent(), 1.0);
    EXPECT_EQ(image->colorAtPixel(0, 1).blueComponent(), 1.0);
    // The whole image at y = 2: its red bottom half fills rows 2 and 3.
    EXPECT_EQ(image->colorAtPixel(0, 2), Color::redColor());
    EXPECT_EQ(image->colorAtPixel(0, 3), Color::redColor());
}

TEST_F(DrawingTest, FractionScalesOpacity)
{
    auto source = solid({2, 2}, Color::redColor());
    for (double fraction : {0.1, 0.4, 1.0}) {
        auto image = drawn({2, 2}, [&] {
            source->drawAtPoint({0, 0}, ZeroRect, CompositingOperation::SourceOver, fraction);
        });
        EXPECT_NEAR(alphaAt(*image, 1, 1), fraction, 0.006) << fraction;
    }
}

TEST_F(DrawingTest, LockFocusNestsAndRestoresTheOuterDestination)
{
    Image outer({4, 4});
    Image inner({4, 4});
    outer.lockFocus();
    inner.lockFocus();
    Color::redColor().set();
    NSRectFill(Rect(0, 0, 1, 1));
    inner.unlockFocus();
    NSRectFill(Rect(3, 3, 1, 1)); // the colour belongs to the inner context
    Color::blackColor().set();
    NSRectFill(Rect(3, 3, 1, 1));
    outer.unlockFocus();
    NSRectFill(Rect(0, 0, 4, 4)); // no destination: goes nowhere

    EXPECT_EQ(inner.colorAtPixel(0, 0), Color::redColor());
    EXPECT_EQ(alphaAt(inner, 3, 3), 0.0);
    EXPECT_EQ(outer.colorAtPixel(3, 3), Color::blackColor());
    EXPECT_EQ(alphaAt(outer, 0, 0), 0.0);
}

TEST_F(DrawingTest, DrawingIntoAnImageWithoutPixelsGoesNowhere)
{
    // The outer destination stays untouched while an empty image (no height,
    // no width, too large for a bitmap) or a view without area holds focus.
    Shadow shadow;
    shadow.setShadowBlurRadius(3.0);
    shadow.setShadowColor(Color::blackColor());
    TextAttributes attributes = plainText();
    attributes.shadow = shadow;
    auto source = solid({4, 4}, Color::redColor());
    auto drawEverything = [&] {
        Color::blackColor().set();
        NSRectFill(Rect(0, 0, 20, 20));
        NSFrameRect(Rect(0, 0, 20, 20));
        source->drawAtPoint({0, 0}, ZeroRect, CompositingOperation::SourceOver, 1.0);
        drawInRect("HHHH", Rect(0, 0, 20, 20), attributes);
        BezierPath::bezierPathWithOvalInRect(Rect(2, 2, 16, 16)).fill();
    };
    class Painted : public View {
    public:
        using View::View;
        void drawRect(Rect) override { paint(); }
        std::function<void()> paint;
    };

    Image outer({20, 20});
    outer.lockFocus();
    for (Size size : {Size{20, 0}, Size{0, 20}, Size{40000, 20}}) {
        Image empty(size);
        EXPECT_EQ(empty.pixelsHigh() * empty.pixelsWide(), 0);
        empty.lockFocus();
        drawEverything();
        empty.unlockFocus();
    }
    Painted view(Rect(0, 0, 20, 0));
    view.paint = drawEverything;
    EXPECT_EQ(view.renderedImage()->pixelsHigh(), 0);
    // The outer destination is current again.
    Color::blackColor().set();
    NSRectFill(Rect(19, 19, 1, 1));
    outer.unlockFocus();

    const InkBox ink = inkOf(outer, 0.0);
    EXPECT_EQ(ink.minX, 19);
    EXPECT_EQ(ink.minY, 19);
}

TEST_F(DrawingTest, HighDensityImagesKeepPointGeometry)
{
    auto image = drawn({5, 5}, [] {
        Color::redColor().set();
        NSRectFill(Rect(1, 1, 1, 1));
    }, 2.0);
    EXPECT_EQ(image->size(), (Size{5, 5}));
    EXPECT_EQ(image->pixelsWide(), 10);
    EXPECT_EQ(alphaAt(*image, 2, 2), 1.0);
    EXPECT_EQ(alphaAt(*image, 3, 3), 1.0);
    EXPECT_EQ(alphaAt(*image, 4, 4), 0.0);
    EXPECT_EQ(alphaAt(*image, 1, 1), 0.0);

    // Drawn into a 1x destination it lands at the same points.
    auto flat = drawn({5, 5}, [&] { image->drawAtPoint({0, 0}, ZeroRect, CompositingOperation::SourceOver, 1.0); });
    EXPECT_EQ(alphaAt(*flat, 1, 1), 1.0);
    EXPECT_EQ(alphaAt(*flat, 2, 2), 0.0);
}

TEST_F(DrawingTest, BundleImagesLoadWithTheirDenseTwin)
{
    for (const char* name : {"noteIcon.png", "statictag.png", "webtag.png"}) {
        Image* image = Image::imageNamed(name);
        ASSERT_NE(image, nullptr) << name;
        EXPECT_EQ(Image::imageNamed(name), image) << "loaded once";
        EXPECT_EQ(image->scale(), 2.0) << name;
        EXPECT_EQ(image->bitmapForScale(1.0).width() * 2, image->bitmapForScale(2.0).width()) << name;
        EXPECT_EQ(image->pixelsWide(), 2 * image->size().width) << name;
    }
    EXPECT_EQ(Image::imageNamed("statictag.png")->size(), (Size{120, 20}));
    EXPECT_EQ(Image::imageNamed("webtag.png")->size(), (Size{98, 12}));
    EXPECT_LE(Image::imageNamed("noteIcon.png")->size().width, 18.0);

    // A 2x destination receives the dense twin's pixels unchanged.
    Image* note = Image::imageNamed("noteIcon.png");
    auto dense = drawn(note->size(), [&] { note->drawAtPoint({0, 0}, ZeroRect, CompositingOperation::SourceOver, 1.0); },
                       2.0);
    EXPECT_EQ(dense->bitmap().convertToFormat(QImage::Format_ARGB32),
              note->bitmapForScale(2.0).convertToFormat(QImage::Format_ARGB32));

    EXPECT_EQ(Image::imageNamed("noSuchImage.png"), nullptr);
    EXPECT_EQ(Image::imageNamed("../Info.plist"), nullptr);
}

TEST_F(DrawingTest, FontsByInstalledFamilyOnly)
{
    EXPECT_FALSE(Font::fontWithName("No Such Family 1234", 10).has_value());
    EXPECT_FALSE(Font::fontWithName("", 10).has_value());
    const QString family = QFontDatabase::families().value(0);
    ASSERT_FALSE(family.isEmpty());
    const auto font = Font::fontWithName(family.toLower().toStdString(), 13);
    ASSERT_TRUE(font.has_value());
    EXPECT_EQ(font->fontName(), family.toStdString());
    EXPECT_EQ(font->pointSize(), 13.0);
    EXPECT_EQ(Font::defaultFont().pointSize(), 10.0);
}

TEST_F(DrawingTest, FontsNameTheirFaceAndAreFoundByIt)
{
    // Family plus style, a PostScript-style name, and the plain family all
    // reach a face; the name a face reports brings back the same face.
    const auto bold = Font::fontWithName("DejaVu Sans Mono Bold", 12);
    ASSERT_TRUE(bold.has_value()) << "fonts-dejavu-core is installed";
    EXPECT_EQ(bold->fontName(), "DejaVu Sans Mono Bold");
    EXPECT_EQ(bold->pointSize(), 12.0);
    for (const char* name : {"DejaVuSansMono-Bold", "dejavu sans mono bold", "DEJAVUSANSMONO-BOLD"}) {
        const auto found = Font::fontWithName(name, 9);
        ASSERT_TRUE(found.has_value()) << name;
        EXPECT_EQ(found->fontName(), "DejaVu Sans Mono Bold") << name;
    }
    const auto both = Font::fontWithName("DejaVuSansMono-BoldOblique", 9);
    ASSERT_TRUE(both.has_value());
    EXPECT_EQ(both->fontName(), "DejaVu Sans Mono Bold Oblique");
    // The regular face is the family itself, however it is asked for.
    for (const char* name : {"DejaVu Sans Mono", "DejaVuSansMono", "DejaVu Sans Mono Book", "DejaVuSansMono-Book"}) {
        const auto regular = Font::fontWithName(name, 9);
        ASSERT_TRUE(regular.has_value()) << name;
        EXPECT_EQ(regular->fontName(), "DejaVu Sans Mono") << name;
    }
    // "DejaVu Sans" is a family too: the longest family that leaves a style
    // wins, and a style the family lacks names nothing.
    EXPECT_EQ(Font::fontWithName("DejaVu Sans Bold", 9)->fontName(), "DejaVu Sans Bold");
    EXPECT_FALSE(Font::fontWithName("DejaVu Sans Mono Heavy", 9).has_value());
    EXPECT_FALSE(Font::fontWithName("DejaVuSansMono-", 9).has_value());
    EXPECT_FALSE(Font::fontWithName("Monaco", 10).has_value());

    // A family two foundries offer is listed with its foundry ("Nimbus Sans
    // [urw]"); it is found by its plain name too.
    for (const QString& listed : QFontDatabase::families()) {
        const QString plain = listed.left(listed.indexOf(QLatin1String(" [")));
        if (!listed.endsWith(QLatin1Char(']')) || QFontDatabase::families().contains(plain))
            continue;
        const auto found = Font::fontWithName(plain.toStdString(), 9);
        ASSERT_TRUE(found.has_value()) << plain.toStdString();
        EXPECT_EQ(Font::fontWithName(found->fontName(), 9)->fontName(), found->fontName());
        const QString bold = plain + QLatin1String(" Bold");
        if (QFontDatabase::styles(listed).contains(QLatin1String("Bold"))) {
            ASSERT_TRUE(Font::fontWithName(bold.toStdString(), 9)) << bold.toStdString();
            EXPECT_NE(Font::fontWithName(bold.toStdString(), 9)->fontName(), found->fontName());
        }
    }

    // The face is what is drawn: bold puts down more ink than regular.
    const auto regular = Font::fontWithName("DejaVu Sans Mono", 12);
    const auto inkOfFont = [&](const std::optional<Font>& font) {
        auto image = drawn({200, 30}, [&] { drawInRect("Bold and regular", Rect(0, 0, 200, 30), plainText(font)); });
        double sum = 0;
        for (int y = 0; y < image->pixelsHigh(); ++y)
            for (int x = 0; x < image->pixelsWide(); ++x)
                sum += image->colorAtPixel(x, y).alphaComponent();
        return sum;
    };
    EXPECT_GT(inkOfFont(bold), inkOfFont(regular) * 1.2);
}

TEST_F(DrawingTest, LaysOutControlCharactersAsSpacesAndAHandfulOfMarksALetter)
{
    const TextAttributes attributes = plainText();
    const Size spaced = sizeWithAttributes("Title - Artist\tAlbum", attributes);
    EXPECT_EQ(sizeWithAttributes("Title\n-\rArtist\x01"
                                 "Album",
                                 attributes),
              spaced);
    EXPECT_GT(spaced.width, sizeWithAttributes("Title", attributes).width);
    // Malformed bytes measure as something, never fail.
    EXPECT_GT(sizeWithAttributes("\xff\xfe\xc3", attributes).width, 0.0);

    // Thousands of combining marks on a letter are cut to a handful, in the
    // basic plane and beyond it; the marks real writing stacks stay.
    const auto marked = [](const std::string& mark, int count) {
        std::string text = "e";
        for (int i = 0; i < count; ++i)
            text += mark;
        return text;
    };
    for (const std::string mark : {"\xcc\x81", "\xf0\x90\x87\xbd"}) { // U+0301, U+101FD
        const std::string laidOut = laidOutText(marked(mark, 3000) + " x" + marked(mark, kMaxCombiningMarks + 1));
        const std::string expected = marked(mark, kMaxCombiningMarks) + " x" + marked(mark, kMaxCombiningMarks);
        EXPECT_EQ(laidOut.size(), expected.size());
        EXPECT_TRUE(laidOut == expected);
    }
    const std::string vietnamese = "Vie\xcc\xa3\xcc\x82t \xe0\xbd\x80\xe0\xbe\xb1\xe0\xbd\xb2\xe0\xbd\xbc"; // Việt, a Tibetan stack
    EXPECT_EQ(laidOutText(vietnamese), vietnamese);
}

TEST_F(DrawingTest, FontPointsAreImagePoints)
{
    // Measured width and drawn ink agree, and twice the size is about twice
    // as wide: the font's points are the image's points.
    const std::string text = "MMMMMMMM";
    const Font small = Font::defaultFont();
    const auto big = Font::fontWithName(small.fontName(), 20);
    ASSERT_TRUE(big.has_value());
    const Size size10 = sizeWithAttributes(text, plainText(small));
    const Size size20 = sizeWithAttributes(text, plainText(big));
    EXPECT_NEAR(size20.width / size10.width, 2.0, 0.15);
    // 10-point glyphs are far less than 20 points high.
    EXPECT_LT(size10.height, 16.0);

    auto image = drawn({200, 40}, [&] { drawInRect(text, Rect(0, 0, 200, 40), plainText(small)); });
    const InkBox ink = inkOf(*image, 0.3);
    ASSERT_FALSE(ink.empty());
    EXPECT_NEAR(ink.maxX + 1 - ink.minX, size10.width, 2.5);
    // Text hangs from the top of its rectangle.
    EXPECT_GT(ink.maxY, 40 - size10.height);
}

TEST_F(DrawingTest, CentredTextIsTruncatedWithAnEllipsisToItsRectangle)
{
    TextAttributes attributes = plainText();
    attributes.paragraphStyle = ParagraphStyle{TextAlignment::Center, LineBreakMode::ByTruncatingTail};
    const Size size = sizeWithAttributes("ab", attributes);

    auto shortLine = drawn({100, 20}, [&] { drawInRect("ab", Rect(20, 0, 60, size.height), attributes); });
    EXPECT_NEAR(inkOf(*shortLine).centreX(), 50.0, 1.5);

    const std::string longText(200, 'w');
    auto longLine = drawn({300, 20}, [&] { drawInRect(longText, Rect(10, 0, 60, size.height), attributes); });
    const InkBox ink = inkOf(*longLine);
    ASSERT_FALSE(ink.empty());
    EXPECT_GE(ink.minX, 10);
    EXPECT_LT(ink.maxX, 70);
    // The line ends in the ellipsis: dots on the baseline, much lower than
    // the x-height of the "w"s before it.
    const double ellipsisWidth = sizeWithAttributes("\u2026", attributes).width;
    const double wWidth = sizeWithAttributes("w", attributes).width;
    InkBox last, first;
    for (int x = ink.minX; x <= ink.maxX; ++x) {
        const bool inEllipsis = x > ink.maxX - ellipsisWidth + 1;
        if (!inEllipsis && x >= ink.minX + wWidth - 1)
            continue;
        InkBox& box = inEllipsis ? last : first;
        for (int y = ink.minY; y <= ink.maxY; ++y)
            if (alphaAt(*longLine, x, y) > 0.3) {
                box.minY = std::min(box.minY, y);
                box.maxY = std::max(box.maxY, y);
                box.maxX = x;
            }
    }
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(last.empty());
    EXPECT_LE(last.maxY - last.minY, (first.maxY - first.minY) / 2);
    EXPECT_LE(std::abs(last.minY - first.minY), 1) << "on the baseline";
}

TEST_F(DrawingTest, ShadowFallsRightAndDown)
{
    TextAttributes attributes = plainText();
    auto plain = drawn({80, 30}, [&] { drawInRect("HHHH", Rect(10, 0, 60, 25), attributes); });
    Shadow shadow;
    shadow.setShadowBlurRadius(3.0);
    shadow.setShadowOffset({2.0, -2.0});
    shadow.setShadowColor(Color::darkGrayColor());
    attributes.shadow = shadow;
    auto shadowed = drawn({80, 30}, [&] { drawInRect("HHHH", Rect(10, 0, 60, 25), attributes); });

    const InkBox a = inkOf(*plain);
    const InkBox b = inkOf(*shadowed);
    ASSERT_FALSE(a.empty());
    EXPECT_GT(b.maxX, a.maxX + 1);
    EXPECT_LT(b.minY, a.minY - 1);
    // The shadow spreads less upwards and leftwards than it moved.
    EXPECT_GE(b.maxY, a.maxY);
    EXPECT_LE(b.maxY, a.maxY + 2);
    // The shadow is grey, not the text's black, where only it lies.
    const Color c = shadowed->colorAtPixel(a.maxX + 2, (a.minY + a.maxY) / 2);
    EXPECT_GT(c.alphaComponent(), 0.05);
    EXPECT_GT(c.redComponent(), 0.2);
}

TextAttributes shadowedText(std::optional<Font> font = std::nullopt)
{
    TextAttributes attributes = plainText(font);
    Shadow shadow;
    shadow.setShadowBlurRadius(3.0);
    shadow.setShadowOffset({2.0, -2.0});
    shadow.setShadowColor(Color::darkGrayColor());
    attributes.shadow = shadow;
    return attributes;
}

TEST_F(DrawingTest, ShadowOfHugeTextIsOnlyMadeWhereItCanLand)
{
    // 2000-point text, wider and taller than a 26-point line: the blurred
    // layer covers the destination and the blur's reach (6 points each
    // side for radius 3), not the text.
    const auto huge = Font::fontWithName(Font::defaultFont().fontName(), 2000);
    ASSERT_TRUE(huge.has_value());
    const TextAttributes attributes = shadowedText(huge);
    const Size size = sizeWithAttributes("Song - Artist", attributes);
    ASSERT_GT(size.width, 5000.0);
    for (double scale : {1.0, 2.0}) {
        drawn({300, 26}, [&] { drawInRect("Song - Artist", Rect(0, 0, size.width, 26), attributes); }, scale);
        const Size layer = lastShadowLayerPixels();
        EXPECT_GT(layer.width * layer.height, 0.0) << scale;
        EXPECT_LE(layer.width, (300 + 12) * scale + 2) << scale;
        EXPECT_LE(layer.height, (26 + 12) * scale + 2) << scale;
    }
}

TEST_F(DrawingTest, ShadowCutByTheDestinationKeepsItsPixels)
{
    // The same shadowed line into a destination that cuts it through the
    // text on the right and below: every pixel there is as in one that
    // holds it whole, blur from outside the cut included.
    const TextAttributes attributes = shadowedText();
    for (double scale : {1.0, 2.0}) {
        auto whole = drawn({80, 30}, [&] { drawInRect("HHHH", Rect(10, 0, 60, 25), attributes); }, scale);
        auto cut = drawn({24, 12}, [&] { drawInRect("HHHH", Rect(10, -13, 60, 25), attributes); }, scale);
        const int rise = static_cast<int>(13 * scale);
        int shadowOnly = 0;
        for (int y = 0; y < cut->pixelsHigh(); ++y)
            for (int x = 0; x < cut->pixelsWide(); ++x) {
                const Color c = cut->colorAtPixel(x, y);
                ASSERT_EQ(c, whole->colorAtPixel(x, y + rise)) << scale << ": " << x << "," << y;
                shadowOnly += c.alphaComponent() > 0.0 && c.redComponent() > 0.2;
            }
        EXPECT_GT(shadowOnly, 10) << scale;
    }
}

} // namespace

namespace {
// What `drawScrolled` stands for: the band's columns drawn one by one.
void scrolledColumnByColumn(const Image& line, double width, double height, double shift, int fades)
{
    const double m = fades;
    for (int i = 0; i < fades; ++i) {
        const double fraction = (i + 1) / static_cast<double>(fades);
        line.drawInRect(Rect(i, 0, 1, height), Rect(i - shift, 0, 1, height), CompositingOperation::SourceOver,
                        fraction);
        line.drawInRect(Rect(width - 1 - i, 0, 1, height), Rect(width - 1 - i - shift, 0, 1, height),
                        CompositingOperation::SourceOver, fraction);
    }
    line.drawInRect(Rect(m, 0, width - 2 * m, height), Rect(m - shift, 0, width - 2 * m, height),
                    CompositingOperation::SourceOver, 1.0);
}
} // namespace

TEST_F(DrawingTest, AScrolledImageShowsWhatItsColumnsDrawnOneByOneShow)
{
    // Text with a soft shadow and a half-clear bar: every alpha there is.
    auto line = drawn({150, 20}, [] {
        TextAttributes attributes = plainText();
        Shadow shadow;
        shadow.setShadowBlurRadius(3.0);
        shadow.setShadowColor(Color::darkGrayColor());
        shadow.setShadowOffset(Size{2.0, -2.0});
        attributes.shadow = shadow;
        drawInRect("Scrolled line - Artist", Rect(2, 2, 146, 16), attributes);
        Color::colorWithDeviceRed(0.2, 0.4, 0.9, 0.5).set();
        NSRectFill(Rect(120, 0, 20, 4));
    });
    // Backgrounds: none, plain, plain in another colour (the kept copies
    // are made again), one colour a row, and one that changes along a row
    // (drawn column by column).
    const std::vector<std::function<void()>> backgrounds = {
        [] {},
        [] { Color::colorWithDeviceWhite(0.95, 1.0).set(); NSRectFill(Rect(0, 0, 100, 20)); },
        [] { Color::selectedMenuItemColor().set(); NSRectFill(Rect(0, 0, 100, 20)); },
        [] {
            for (int y = 0; y < 20; ++y) {
                Color::colorWithDeviceRed(y / 20.0, 0.5, 1.0 - y / 40.0, 0.5 + y / 40.0).set();
                NSRectFill(Rect(0, y, 100, 1));
            }
        },
        [] { Color::redColor().set(); NSRectFill(Rect(0, 0, 37, 20)); },
    };
    for (std::size_t b = 0; b < backgrounds.size(); ++b) {
        for (int fades : {0, 10}) {
            for (double shift : {-400.0, -149.0, -60.0, -3.0, 0.0, 7.0, 95.0, 99.0, 100.0, 300.0}) {
                auto fast = drawn({100, 20}, [&] {
                    backgrounds[b]();
                    line->drawScrolled(100, 20, shift, fades);
                });
                auto reference = drawn({100, 20}, [&] {
                    backgrounds[b]();
                    scrolledColumnByColumn(*line, 100, 20, shift, fades);
                });
                ASSERT_EQ(fast->bitmap(), reference->bitmap())
                    << "background " << b << ", fades " << fades << ", shift " << shift;
            }
        }
    }
}

TEST_F(DrawingTest, AScrolledImageDrawnIntoAgainShowsItsNewPixels)
{
    Image line({60, 10});
    auto band = [&] {
        return drawn({40, 10}, [&] {
            Color::whiteColor().set();
            NSRectFill(Rect(0, 0, 40, 10));
            line.drawScrolled(40, 10, 0, 10);
        });
    };
    const auto empty = band();
    line.lockFocus();
    Color::blackColor().set();
    NSRectFill(Rect(0, 0, 60, 10));
    line.unlockFocus();
    const auto filled = band();
    EXPECT_EQ(filled->colorAtPixel(20, 5).redComponent(), 0.0) << "the middle shows the new black";
    EXPECT_NE(filled->bitmap(), empty->bitmap());
}
