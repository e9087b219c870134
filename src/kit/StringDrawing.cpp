#include "kit/StringDrawing.h"

#include "kit/GraphicsContext.h"
#include "kit/QtBridge.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <vector>

namespace kit {

namespace {
constexpr int kDotsPerMeterAt72 = 2835;

QString layoutText(const std::string& text)
{
    QString result = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    for (QChar& c : result) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u < 0xa0) || u == 0x2028 || u == 0x2029)
            c = QLatin1Char(' ');
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

void paintShadow(QPainter& painter, const Layout& layout, const Shadow& shadow, double width, double scale)
{
    if (shadow.shadowColor().alphaComponent() <= 0.0)
        return;
    const double blurRadius = shadow.shadowBlurRadius();
    const double pad = std::ceil(1.5 * blurRadius) + 1.0;
    const QRectF area = layout.box.adjusted(-pad, -pad, pad, pad);
    QImage layer(static_cast<int>(std::ceil(area.width() * scale)), static_cast<int>(std::ceil(area.height() * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    if (layer.isNull())
        return;
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
        paintText(lp, local, QPointF(-area.x(), -area.y()), width);
    }
    // The platform's blur radius is about two standard deviations.
    blur(layer, blurRadius * 0.5 * scale);
    // The offset's height points up; this space points down.
    const QPointF at(area.x() + shadow.shadowOffset().width, area.y() - shadow.shadowOffset().height);
    painter.drawImage(QRectF(at, area.size()), layer, QRectF(0, 0, layer.width(), layer.height()));
}
} // namespace

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
