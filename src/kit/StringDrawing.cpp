#include "kit/StringDrawing.h"

#include "kit/GraphicsContext.h"
#include "kit/QtBridge.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kit {

namespace {
constexpr int kDotsPerMeterAt72 = 2835;

QString layoutText(const std::string& text)
{
    const QString given = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    QString result;
    result.reserve(given.size());
    int marks = 0; // on the character before
    for (qsizetype i = 0; i < given.size(); ++i) {
        const QChar c = given[i];
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u < 0xa0) || u == 0x2028 || u == 0x2029) {
            result += QLatin1Char(' ');
            marks = 0;
            continue;
        }
        const bool pair = c.isHighSurrogate() && i + 1 < given.size() && given[i + 1].isLowSurrogate();
        const char32_t code = pair ? QChar::surrogateToUcs4(c, given[i + 1]) : char32_t(u);
        marks = QChar::isMark(code) ? marks + 1 : 0;
        if (marks <= kMaxCombiningMarks) {
            result += c;
            if (pair)
                result += given[i + 1];
        }
        if (pair)
            ++i;
    }
    return result;
}

// A device whose points are its pixels, for measuring without a painter.
const QPaintDevice& measuringDevice()
{
    static const QImage* device = [] {
        auto* image = new QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
        image->setDotsPerMeterX(kDotsPerMeterAt72);
        image->setDotsPerMeterY(kDotsPerMeterAt72);
        return image;
    }();
    return *device;
}

Font fontOf(const TextAttributes& attributes)
{
    return attributes.font ? *attributes.font : Font::defaultFont();
}

// Three passes of a box blur approximate a Gaussian of deviation `sigma`
// pixels, on all four premultiplied channels.
void blur(QImage& image, double sigma)
{
    if (!(sigma > 0.0) || image.isNull())
        return;
    const double boxWidth = std::sqrt(12.0 * sigma * sigma / 3.0 + 1.0);
    const int radius = std::max(1, static_cast<int>(std::lround((boxWidth - 1.0) / 2.0)));
    const int w = image.width();
    const int h = image.height();
    // Division by the window as a multiplication; a channel's sum times the
    // factor stays below 255 * 2^16.
    const int window = 2 * radius + 1;
    const int scale = (1 << 16) / window;
    QRgb* const bits = reinterpret_cast<QRgb*>(image.bits());
    const qsizetype stride = image.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    std::vector<QRgb> line(static_cast<std::size_t>(std::max(w, h)));

    // One box pass along `length` pixels starting at `first`, `step` apart.
    auto pass = [&](QRgb* first, int length, qsizetype step) {
        for (int i = 0; i < length; ++i)
            line[i] = first[i * step];
        int sum[4] = {0, 0, 0, 0};
        auto add = [&](QRgb p, int sign) {
            sum[0] += sign * qAlpha(p);
            sum[1] += sign * qRed(p);
            sum[2] += sign * qGreen(p);
            sum[3] += sign * qBlue(p);
        };
        for (int i = 0; i <= radius && i < length; ++i)
            add(line[i], 1);
        for (int i = 0; i < length; ++i) {
            first[i * step] = qRgba((sum[1] * scale) >> 16, (sum[2] * scale) >> 16, (sum[3] * scale) >> 16,
                                    (sum[0] * scale) >> 16);
            if (i - radius >= 0)
                add(line[i - radius], -1);
            if (i + radius + 1 < length)
                add(line[i + radius + 1], 1);
        }
    };
    for (int round = 0; round < 3; ++round) {
        for (int y = 0; y < h; ++y)
            pass(bits + y * stride, w, 1);
        for (int x = 0; x < w; ++x)
            pass(bits + x, h, stride);
    }
}

struct Layout {
    QString text;
    QFont font;
    QRectF box;      // where the text's lines lie, in the rectangle's y-down space
    int flags = 0;   // for wrapped text
    bool wrapped = false;
    double ascent = 0.0;
};

Layout layOut(const std::string& text, Rect rect, const TextAttributes& attributes, const QPaintDevice& device)
{
    Layout layout;
    layout.font = fontOf(attributes).qfontForDpi(device.logicalDpiY());
    layout.text = layoutText(text);
    const QFontMetricsF metrics(layout.font, &device);
    layout.ascent = metrics.ascent();
    const ParagraphStyle style = attributes.paragraphStyle.value_or(ParagraphStyle::defaultParagraphStyle());
    const double available = rect.width();

    Qt::TextElideMode elide = Qt::ElideNone;
    switch (style.lineBreakMode) {
    case LineBreakMode::ByTruncatingTail: elide = Qt::ElideRight; break;
    case LineBreakMode::ByTruncatingHead: elide = Qt::ElideLeft; break;
    case LineBreakMode::ByTruncatingMiddle: elide = Qt::ElideMiddle; break;
    case LineBreakMode::ByClipping: break;
    case LineBreakMode::ByWordWrapping:
    case LineBreakMode::ByCharWrapping: layout.wrapped = true; break;
    }

    int align = Qt::AlignLeft;
    if (style.alignment == TextAlignment::Right)
        align = Qt::AlignRight;
    else if (style.alignment == TextAlignment::Center)
        align = Qt::AlignHCenter;

    if (layout.wrapped) {
        layout.flags = align | Qt::AlignTop
                     | (style.lineBreakMode == LineBreakMode::ByCharWrapping ? Qt::TextWrapAnywhere : Qt::TextWordWrap);
        layout.box = metrics.boundingRect(QRectF(0.0, 0.0, available, 1.0e6), layout.flags, layout.text);
        return layout;
    }
    if (elide != Qt::ElideNone && metrics.horizontalAdvance(layout.text) > available)
        layout.text = metrics.elidedText(layout.text, elide, available);
    const double width = metrics.horizontalAdvance(layout.text);
    double x = 0.0;
    if (align == Qt::AlignRight)
        x = available - width;
    else if (align == Qt::AlignHCenter)
        x = (available - width) * 0.5;
    layout.box = QRectF(x, 0.0, width, metrics.height());
    return layout;
}

void paintText(QPainter& painter, const Layout& layout, QPointF at, double width)
{
    painter.setFont(layout.font);
    if (layout.wrapped)
        painter.drawText(QRectF(at.x(), at.y(), width, 1.0e6), layout.flags, layout.text);
    else
        painter.drawText(QPointF(at.x() + layout.box.x(), at.y() + layout.ascent), layout.text);
}

Size g_lastShadowLayer;

// The drawing target's whole area in the painter's current coordinates.
QRectF targetArea(const QPainter& painter)
{
    const QPaintDevice* device = GraphicsContext::target(painter);
    if (!device)
        return QRectF();
    // The painter's transformation ends in device pixels. Images and pixmaps
    // measure themselves in pixels, other devices in device-independent units.
    double w = device->width();
    double h = device->height();
    if (device->devType() != QInternal::Image && device->devType() != QInternal::Pixmap) {
        const double ratio = std::max(1.0, device->devicePixelRatioF());
        w *= ratio;
        h *= ratio;
    }
    bool invertible = false;
    const QTransform toUser = painter.combinedTransform().inverted(&invertible);
    return invertible ? toUser.mapRect(QRectF(0.0, 0.0, w, h)) : QRectF();
}

void paintShadow(QPainter& painter, const Layout& layout, const Shadow& shadow, double width, double scale)
{
    g_lastShadowLayer = Size{};
    if (shadow.shadowColor().alphaComponent() <= 0.0)
        return;
    const double blurRadius = shadow.shadowBlurRadius();
    const double pad = std::ceil(1.5 * blurRadius) + 1.0;
    // The offset's height points up; this space points down.
    const QPointF shift(shadow.shadowOffset().width, -shadow.shadowOffset().height);
    // The whole layer would hold the text's box and room for the blur...
    const QRectF whole = layout.box.adjusted(-pad, -pad, pad, pad);
    const double wholeWidth = std::ceil(whole.width() * scale);
    const double wholeHeight = std::ceil(whole.height() * scale);
    // ...but only the part that lands on the target is made, with the same
    // room around it so the blur reaching in from outside is still there.
    // The part keeps the whole layer's pixel grid: what it shows is exactly
    // what the whole layer would have shown.
    const QRectF target = targetArea(painter);
    if (target.isEmpty())
        return;
    const QRectF needed = target.translated(-shift).adjusted(-pad, -pad, pad, pad) & whole;
    if (needed.isEmpty())
        return;
    const double left = std::floor((needed.left() - whole.left()) * scale);
    const double top = std::floor((needed.top() - whole.top()) * scale);
    const double right = std::min(wholeWidth, std::ceil((needed.right() - whole.left()) * scale));
    const double bottom = std::min(wholeHeight, std::ceil((needed.bottom() - whole.top()) * scale));
    if (!(right > left) || !(bottom > top))
        return;
    QImage layer(static_cast<int>(right - left), static_cast<int>(bottom - top), QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull())
        return;
    g_lastShadowLayer = Size{double(layer.width()), double(layer.height())};
    layer.fill(Qt::transparent);
    layer.setDevicePixelRatio(scale);
    layer.setDotsPerMeterX(kDotsPerMeterAt72);
    layer.setDotsPerMeterY(kDotsPerMeterAt72);
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::TextAntialiasing);
        lp.setPen(toQColor(shadow.shadowColor()));
        Layout local = layout;
        local.font.setPointSizeF(layout.font.pointSizeF() * painter.device()->logicalDpiY() / 72.0);
        paintText(lp, local, QPointF(-whole.x() - left / scale, -whole.y() - top / scale), width);
    }
    // The platform's blur radius is about two standard deviations.
    blur(layer, blurRadius * 0.5 * scale);
    // Where the layer's pixels would have been drawn within the whole one.
    const double pixelWidth = whole.width() / wholeWidth;
    const double pixelHeight = whole.height() / wholeHeight;
    const QRectF at(whole.x() + shift.x() + left * pixelWidth, whole.y() + shift.y() + top * pixelHeight,
                    layer.width() * pixelWidth, layer.height() * pixelHeight);
    painter.drawImage(at, layer, QRectF(0, 0, layer.width(), layer.height()));
}
} // namespace

Size lastShadowLayerPixels()
{
    return g_lastShadowLayer;
}

std::string laidOutText(const std::string& text)
{
    return layoutText(text).toStdString();
}

std::string directionIsolated(const std::string& text)
{
    const QString given = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    bool needed = false;
    for (const char32_t code : given.toUcs4()) {
        switch (QChar::direction(code)) {
        case QChar::DirR: case QChar::DirAL: case QChar::DirAN:
        case QChar::DirRLE: case QChar::DirRLO: case QChar::DirLRE: case QChar::DirLRO: case QChar::DirPDF:
        case QChar::DirRLI: case QChar::DirLRI: case QChar::DirFSI: case QChar::DirPDI:
            needed = true;
            break;
        default:
            break;
        }
    }
    if (!needed)
        return text;
    constexpr char16_t kFirstStrongIsolate = 0x2068;
    constexpr char16_t kPopDirectionalIsolate = 0x2069;
    QString result(QChar{kFirstStrongIsolate});
    int open = 0; // isolates the text opened and has not closed
    for (const QChar c : given) {
        const QChar::Direction direction = c.direction();
        if (direction == QChar::DirRLI || direction == QChar::DirLRI || direction == QChar::DirFSI) {
            ++open;
        } else if (direction == QChar::DirPDI) {
            // A stray one would close the isolate around the text.
            if (open == 0)
                continue;
            --open;
        }
        result += c;
    }
    // The last one closes the text's own isolate, and with it any embedding
    // or override the text left open.
    for (; open >= 0; --open)
        result += QChar{kPopDirectionalIsolate};
    return result.toStdString();
}

Size sizeWithAttributes(const std::string& text, const TextAttributes& attributes)
{
    const QPaintDevice& device = measuringDevice();
    const QFontMetricsF metrics(fontOf(attributes).qfontForDpi(device.logicalDpiY()), &device);
    return Size{metrics.horizontalAdvance(layoutText(text)), metrics.height()};
}

void drawInRect(const std::string& text, Rect rect, const TextAttributes& attributes)
{
    GraphicsContext* context = GraphicsContext::current();
    if (!context || text.empty() || !(rect.width() > 0.0))
        return;
    QPainter& painter = context->painter();
    const Layout layout = layOut(text, rect, attributes, *painter.device());

    const QTransform saved = painter.worldTransform();
    const QPen savedPen = painter.pen();
    PainterStateScope state(painter, QPainter::CompositionMode_SourceOver, painter.opacity());
    // Text is laid out downwards from the rectangle's top edge.
    painter.setWorldTransform(QTransform(1.0, 0.0, 0.0, -1.0, rect.x(), rect.maxY()) * saved);
    if (attributes.shadow)
        paintShadow(painter, layout, *attributes.shadow, rect.width(), context->scale());
    painter.setPen(toQColor(attributes.foregroundColor.value_or(Color::blackColor())));
    paintText(painter, layout, QPointF(0.0, 0.0), rect.width());
    painter.setPen(savedPen);
    painter.setWorldTransform(saved);
}

} // namespace kit
