// Draws the bundle's three pictures, each at 1x and 2x, into
// resources/bundle/Contents/Resources. Run through make-images.sh; the PNGs
// it writes are committed, so this is needed only to change them.
//
//   noteIcon.png   16 x 20  a beamed pair of notes, for the 18-point room at
//                           each end of the marquee's line, standing on the
//                           bottom edge
//   statictag.png 120 x 20  the wordmark with a small equaliser, shown faint
//                           (at 0.4 opacity) when there is nothing to play
//   webtag.png     98 x 12  a link badge to the web page
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>

namespace {

using Draw = std::function<void(QPainter&)>;

bool render(const QString& folder, const QString& name, QSize points, const Draw& draw)
{
    for (int scale : {1, 2}) {
        QImage image(points * scale, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        // 72 dots per inch: a font's points are the picture's points.
        image.setDotsPerMeterX(2835);
        image.setDotsPerMeterY(2835);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            painter.scale(scale, scale);
            draw(painter);
        }
        const QString file = folder + "/" + name + (scale == 2 ? "@2x.png" : ".png");
        if (!image.save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return false;
        }
        std::printf("wrote %s\n", qPrintable(file));
    }
    return true;
}

QFont font(const QString& family, int weight, double points)
{
    QFont f(family);
    f.setWeight(static_cast<QFont::Weight>(weight));
    f.setPointSizeF(points);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// Coordinates below are y-down, in points, as QPainter has them.

void drawNote(QPainter& p)
{
    // Two oval heads tilted up to the right, stems, and a double beam.
    QPainterPath shape;
    auto head = [&](double cx, double cy) {
        QPainterPath oval;
        oval.addEllipse(QPointF(0, 0), 2.9, 2.1);
        QTransform t;
        t.translate(cx, cy);
        t.rotate(-24);
        shape.addPath(t.map(oval));
    };
    head(4.1, 16.3);
    head(12.1, 14.3);
    shape.addRect(QRectF(5.9, 5.2, 1.25, 11.0));
    shape.addRect(QRectF(13.9, 3.2, 1.25, 11.0));
    auto beam = [&](double y) {
        QPainterPath b;
        b.moveTo(5.9, y);
        b.lineTo(15.15, y - 2.0);
        b.lineTo(15.15, y + 0.2);
        b.lineTo(5.9, y + 2.2);
        b.closeSubpath();
        shape.addPath(b);
    };
    beam(4.0);
    beam(7.3);
    shape.setFillRule(Qt::WindingFill);
    shape = shape.simplified();

    // A soft light halo keeps the note legible on dark and light bars.
    p.setPen(QPen(QColor(255, 255, 255, 90), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);

    QLinearGradient fill(0, 3, 0, 19);
    fill.setColorAt(0.0, QColor(96, 104, 120));
    fill.setColorAt(1.0, QColor(34, 38, 48));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(shape);
}

void drawStaticTag(QPainter& p)
{
    // An equaliser of five rounded bars, then the wordmark.
    const double heights[] = {6.0, 11.0, 15.0, 9.0, 12.0};
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 20, 24));
    double x = 13.0;
    for (double h : heights) {
        p.drawRoundedRect(QRectF(x, 17.0 - h, 2.6, h), 1.1, 1.1);
        x += 4.2;
    }

    QPainterPath word;
    QFont f = font("URW Gothic", QFont::DemiBold, 15.0);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    word.addText(0, 0, f, "Zintara");
    const QRectF box = word.boundingRect();
    // Baseline on the bars' foot, the word centred in the room to the right.
    const double left = x + 4.0;
    const double room = 120.0 - 12.0 - left;
    word.translate(left + (room - box.width()) * 0.5 - box.x(), 17.0);
    p.setBrush(QColor(20, 20, 24));
    p.drawPath(word);
}

void drawWebTag(QPainter& p)
{
    const QRectF pill(0.5, 0.5, 97.0, 11.0);
    QLinearGradient fill(0, 0, 0, 12);
    fill.setColorAt(0.0, QColor(86, 140, 214));
    fill.setColorAt(1.0, QColor(40, 92, 170));
    p.setPen(QPen(QColor(28, 66, 128), 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(pill, 5.5, 5.5);

    // A small globe: circle, equator, meridian.
    const QPointF c(7.5, 6.0);
    p.setPen(QPen(QColor(255, 255, 255, 235), 0.9));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 3.6, 3.6);
    p.drawEllipse(c, 1.6, 3.6);
    p.drawLine(QPointF(c.x() - 3.6, c.y()), QPointF(c.x() + 3.6, c.y()));

    QPainterPath text;
    text.addText(0, 0, font("DejaVu Sans", QFont::Bold, 8.0), "zintara.org \u203A");
    const QRectF box = text.boundingRect();
    const double left = 13.0;
    text.translate(left + (98.0 - 4.0 - left - box.width()) * 0.5 - box.x(), 8.8);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255));
    p.drawPath(text);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s RESOURCES-FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const bool ok = render(folder, "noteIcon", QSize(16, 20), drawNote)
                 && render(folder, "statictag", QSize(120, 20), drawStaticTag)
                 && render(folder, "webtag", QSize(98, 12), drawWebTag);
    return ok ? 0 : 1;
}
