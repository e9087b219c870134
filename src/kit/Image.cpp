#include "kit/Image.h"

#include "kit/Bundle.h"
#include "kit/GraphicsContext.h"
#include "kit/QtBridge.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <vector>

namespace kit {

namespace {
// Our bitmaps claim 72 dots per inch so a font's points are the image's
// points, as on the platform this drawing model comes from.
constexpr int kDotsPerMeterAt72 = 2835;

// Pixels beyond this edge length are refused: a bitmap must stay within what
// the painting system can address.
constexpr double kMaxPixels = 32767.0;

std::map<std::string, std::unique_ptr<Image>>& namedCache()
{
    static auto* cache = new std::map<std::string, std::unique_ptr<Image>>;
    return *cache;
}

QImage makeBitmap(Size size, double scale)
{
    if (!(scale > 0.0) || !std::isfinite(scale))
        scale = 1.0;
    const double w = std::ceil(std::max(0.0, size.width) * scale);
    const double h = std::ceil(std::max(0.0, size.height) * scale);
    if (!(w >= 1.0) || !(h >= 1.0) || w > kMaxPixels || h > kMaxPixels)
        return QImage();
    QImage image(static_cast<int>(w), static_cast<int>(h), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(scale);
    image.setDotsPerMeterX(kDotsPerMeterAt72);
    image.setDotsPerMeterY(kDotsPerMeterAt72);
    return image;
}

// Paints nothing at all.
class NowherePaintEngine final : public QPaintEngine {
public:
    NowherePaintEngine()
        : QPaintEngine(QPaintEngine::AllFeatures)
    {
    }
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawRects(const QRect*, int) override {}
    void drawRects(const QRectF*, int) override {}
    void drawLines(const QLine*, int) override {}
    void drawLines(const QLineF*, int) override {}
    void drawEllipse(const QRectF&) override {}
    void drawEllipse(const QRect&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPoints(const QPointF*, int) override {}
    void drawPoints(const QPoint*, int) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawPolygon(const QPoint*, int, PolygonDrawMode) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawTiledPixmap(const QRectF&, const QPixmap&, const QPointF&) override {}
    void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
    void drawTextItem(const QPointF&, const QTextItem&) override {}
    Type type() const override { return QPaintEngine::User; }
};

// The destination of an image without a bitmap: no area, and 72 dots per
// inch like our bitmaps.
class NowhereDevice final : public QPaintDevice {
public:
    int devType() const override { return QInternal::UnknownDevice; }
    QPaintEngine* paintEngine() const override { return &m_engine; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 72;
        case PdmDepth: return 32;
        case PdmNumColors: return std::numeric_limits<int>::max();
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
        default: return 0;
        }
    }

private:
    mutable NowherePaintEngine m_engine;
};
} // namespace

// Widest image whose copies are kept for scrolling: ten copies of a line this
// wide and a marquee's height come to about 2 MB.
constexpr int kMaxScrolledPixels = 2048;

struct Image::Scrolled {
    QImage::Format format = QImage::Format_Invalid;
    int fadeColumns = -1;
    std::vector<quint32> background; // one pixel a row
    // The image at full opacity over the background, as `drawInRect` draws it.
    QImage opaque;
    // The same at (j + 1) / fadeColumns of full opacity, for j below
    // fadeColumns, column by column: column c of level j is the `rows`
    // pixels from ((c * fadeColumns) + j) * rows on, so that the few
    // columns a frame's fades take lie close together in memory.
    std::vector<quint32> fades;
    int rows = 0;
};

struct Image::Focus {
    // The painter's device when there is no bitmap; it outlives the painter.
    std::unique_ptr<NowhereDevice> nowhere;
    QPainter painter;
    std::unique_ptr<GraphicsContext> context;
};

Image::Image()
    : m_bitmap(std::make_unique<QImage>())
{
}

Image::Image(Size size, double scale)
    : m_size{std::max(0.0, size.width), std::max(0.0, size.height)}
    , m_bitmap(std::make_unique<QImage>(makeBitmap(size, scale)))
{
}

Image::~Image()
{
    m_scrolled.reset();
    if (m_focus)
        unlockFocus();
}

Image* Image::imageNamed(const std::string& name)
{
    const std::optional<std::string> path = Bundle::mainBundle().pathForResource(name);
    if (!path)
        return nullptr;
    auto& cache = namedCache();
    if (auto it = cache.find(*path); it != cache.end())
        return it->second.get();

    QImage base(QString::fromStdString(*path));
    QImage dense;
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) {
        const std::string twinName = name.substr(0, dot) + "@2x" + name.substr(dot);
        if (const auto twinPath = Bundle::mainBundle().pathForResource(twinName))
            dense = QImage(QString::fromStdString(*twinPath));
    }
    if (base.isNull() && dense.isNull())
        return nullptr;

    std::unique_ptr<Image> image(new Image);
    if (!base.isNull()) {
        base = base.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        base.setDevicePixelRatio(1.0);
        image->m_size = Size{double(base.width()), double(base.height())};
        *image->m_bitmap = base;
    }
    if (!dense.isNull()) {
        dense = dense.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        dense.setDevicePixelRatio(2.0);
        if (base.isNull()) {
            image->m_size = Size{dense.width() / 2.0, dense.height() / 2.0};
            *image->m_bitmap = dense;
        } else {
            image->m_hiDensity = std::make_unique<QImage>(dense);
        }
    }
    Image* result = image.get();
    cache.emplace(*path, std::move(image));
    return result;
}

void Image::clearNamedImageCache()
{
    namedCache().clear();
}

double Image::scale() const
{
    const QImage& densest = m_hiDensity ? *m_hiDensity : *m_bitmap;
    return densest.isNull() ? 1.0 : densest.devicePixelRatio();
}

const QImage& Image::bitmap() const
{
    return m_hiDensity ? *m_hiDensity : *m_bitmap;
}

const QImage& Image::bitmapForScale(double scale) const
{
    if (m_hiDensity && scale > m_bitmap->devicePixelRatio())
        return *m_hiDensity;
    return *m_bitmap;
}

int Image::pixelsWide() const
{
    return bitmap().width();
}

int Image::pixelsHigh() const
{
    return bitmap().height();
}

void Image::lockFocus()
{
    if (m_focus)
        return;
    // What is drawn now makes the kept scrolling copies stale.
    m_scrolled.reset();
    m_focus = std::make_unique<Focus>();
    QPainter& painter = m_focus->painter;
    if (m_bitmap->isNull()) {
        // Nothing to draw into (an empty image): drawing still goes here,
        // and from here nowhere, rather than into an outer destination.
        m_focus->nowhere = std::make_unique<NowhereDevice>();
        painter.begin(m_focus->nowhere.get());
    } else {
        painter.begin(m_bitmap.get());
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    GraphicsContext::flip(painter, m_size.height);
    m_focus->context = std::make_unique<GraphicsContext>(painter);
}

void Image::unlockFocus()
{
    if (!m_focus)
        return;
    m_focus->context.reset();
    if (m_focus->painter.isActive())
        m_focus->painter.end();
    m_focus.reset();
}

void Image::drawAtPoint(Point point, Rect from, CompositingOperation operation, double fraction) const
{
    const Rect source = from.isEmpty() ? Rect(Point{}, m_size) : from;
    drawInRect(Rect(point, source.size), source, operation, fraction);
}

void Image::drawInRect(Rect rect, Rect from, CompositingOperation operation, double fraction) const
{
    GraphicsContext* context = GraphicsContext::current();
    if (!context || rect.isEmpty() || !(fraction > 0.0))
        return;
    const Rect whole(Point{}, m_size);
    const Rect source = from.isEmpty() ? whole : from;
    const Rect visible = source.intersection(whole);
    if (visible.isEmpty())
        return;
    // Only the part of the source inside the image is drawn, where it would
    // have landed had the whole source been drawn.
    const double sx = rect.width() / source.width();
    const double sy = rect.height() / source.height();
    const Rect target(rect.x() + (visible.x() - source.x()) * sx, rect.y() + (visible.y() - source.y()) * sy,
                      visible.width() * sx, visible.height() * sy);

    QPainter& painter = context->painter();
    const QImage& bits = bitmapForScale(context->scale());
    if (bits.isNull() || painter.device() == static_cast<const QPaintDevice*>(&bits))
        return; // an image cannot be drawn into itself
    const double s = bits.devicePixelRatio();
    const QRectF pixels(visible.x() * s, (m_size.height - visible.maxY()) * s, visible.width() * s,
                        visible.height() * s);

    PainterStateScope state(painter, toQtMode(operation), painter.opacity() * std::min(fraction, 1.0));
    // The context is y-up; bitmaps are stored top row first. Draw through a
    // local transform that turns the image upright in the target rectangle.
    const QTransform saved = painter.worldTransform();
    painter.setWorldTransform(QTransform(1.0, 0.0, 0.0, -1.0, target.x(), target.maxY()) * saved);
    painter.drawImage(QRectF(0.0, 0.0, target.width(), target.height()), bits, pixels);
    painter.setWorldTransform(saved);
}

void Image::drawScrolled(double width, double height, double shift, int fadeColumns) const
{
    if (drawScrolledFromCopies(width, height, shift, fadeColumns))
        return;
    const double A = width;
    const double H = height;
    const double X0 = shift;
    const double m = fadeColumns > 0 ? fadeColumns : 0;
    for (int i = 0; i < fadeColumns; ++i)
        drawInRect(Rect(i, 0.0, 1.0, H), Rect(i - X0, 0.0, 1.0, H), CompositingOperation::SourceOver,
                   (i + 1) / static_cast<double>(fadeColumns));
    for (int i = 0; i < fadeColumns; ++i)
        drawInRect(Rect(A - 1 - i, 0.0, 1.0, H), Rect(A - 1 - i - X0, 0.0, 1.0, H), CompositingOperation::SourceOver,
                   (i + 1) / static_cast<double>(fadeColumns));
    drawInRect(Rect(m, 0.0, A - 2 * m, H), Rect(m - X0, 0.0, A - 2 * m, H), CompositingOperation::SourceOver, 1.0);
}

bool Image::drawScrolledFromCopies(double width, double height, double shift, int fadeColumns) const
{
    // Source-over of a pixel onto a given one always gives the same pixel,
    // wherever it is drawn: on a background that is the same along each
    // row, every band column is a column of one of the copies.
    GraphicsContext* context = GraphicsContext::current();
    if (!context)
        return false;
    QPainter& painter = context->painter();
    QPaintDevice* device = painter.device();
    if (!device || device->devType() != QInternal::Image || painter.opacity() != 1.0)
        return false;
    auto* dest = static_cast<QImage*>(device);
    const QImage& bits = *m_bitmap;
    if ((dest->format() != QImage::Format_RGB32 && dest->format() != QImage::Format_ARGB32_Premultiplied)
        || dest->devicePixelRatio() != 1.0 || m_hiDensity || bits.isNull() || bits.devicePixelRatio() != 1.0
        || bits.format() != QImage::Format_ARGB32_Premultiplied || bits.width() > kMaxScrolledPixels)
        return false;
    const auto whole = [](double v) { return std::isfinite(v) && v == std::floor(v) && std::abs(v) < 1e6; };
    if (!whole(width) || !whole(height) || !whole(shift) || fadeColumns < 0 || width < 2.0 * fadeColumns
        || height != bits.height() || height != m_size.height)
        return false;
    const QTransform placed = QTransform(1.0, 0.0, 0.0, -1.0, 0.0, height) * painter.deviceTransform();
    if (placed.type() > QTransform::TxTranslate || !whole(placed.dx()) || !whole(placed.dy()))
        return false;
    const QRect band(static_cast<int>(placed.dx()), static_cast<int>(placed.dy()), static_cast<int>(width),
                     static_cast<int>(height));
    if (band.isEmpty() || !dest->rect().contains(band))
        return false;
    if (painter.hasClipping()) {
        // Kit drawing clips to rectangles only; the band must lie inside.
        const QRectF clip = painter.deviceTransform().mapRect(painter.clipBoundingRect());
        if (!clip.contains(QRectF(band)))
            return false;
    }

    // The background: one colour a row across the band.
    std::vector<quint32> background(static_cast<std::size_t>(band.height()));
    for (int y = 0; y < band.height(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(dest->constScanLine(band.y() + y)) + band.x();
        for (int x = 1; x < band.width(); ++x) {
            if (row[x] != row[0])
                return false;
        }
        background[static_cast<std::size_t>(y)] = row[0];
    }

    if (!m_scrolled || m_scrolled->format != dest->format() || m_scrolled->fadeColumns != fadeColumns
        || m_scrolled->background != background) {
        auto made = std::make_unique<Scrolled>();
        made->format = dest->format();
        made->fadeColumns = fadeColumns;
        made->background = background;
        const int count = std::max(fadeColumns, 1);
        const int columns = bits.width();
        const int rows = bits.height();
        made->rows = rows;
        made->fades.resize(static_cast<std::size_t>(fadeColumns) * columns * rows);
        for (int j = 0; j < count; ++j) {
            QImage level(columns, rows, dest->format());
            if (level.isNull())
                return false;
            for (int y = 0; y < rows; ++y) {
                auto* row = reinterpret_cast<quint32*>(level.scanLine(y));
                std::fill(row, row + columns, background[static_cast<std::size_t>(y)]);
            }
            {
                // Drawn as a view draws: the same painter set-up, the same call.
                QPainter levelPainter(&level);
                levelPainter.setRenderHint(QPainter::Antialiasing);
                levelPainter.setRenderHint(QPainter::TextAntialiasing);
                GraphicsContext::flip(levelPainter, height);
                GraphicsContext levelContext(levelPainter);
                drawInRect(Rect(0.0, 0.0, columns, height), Rect(0.0, 0.0, columns, height),
                           CompositingOperation::SourceOver, (j + 1) / static_cast<double>(count));
            }
            if (j < fadeColumns) {
                for (int y = 0; y < rows; ++y) {
                    const auto* row = reinterpret_cast<const quint32*>(level.constScanLine(y));
                    for (int c = 0; c < columns; ++c)
                        made->fades[(static_cast<std::size_t>(c) * fadeColumns + j) * rows + y] = row[c];
                }
            }
            if (j == count - 1)
                made->opaque = std::move(level);
        }
        m_scrolled = std::move(made);
    }

    const int w = band.width();
    const int m = fadeColumns;
    const int x0 = static_cast<int>(shift);
    const int rows = m_scrolled->rows;
    const QImage& opaque = m_scrolled->opaque;
    const quint32* fades = m_scrolled->fades.data();
    // Band column x shows image column x - x0 when that lies in the image;
    // elsewhere the band keeps its background.
    const int first = std::clamp(x0, 0, w);
    const int last = std::clamp(x0 + bits.width(), first, w); // one past
    const int middleFrom = std::clamp(m, first, last);
    const int middleTo = std::clamp(w - m, middleFrom, last);
    const std::size_t rowStride = static_cast<std::size_t>(dest->bytesPerLine()) / 4;
    quint32* top = reinterpret_cast<quint32*>(dest->scanLine(band.y())) + band.x();
    if (middleTo > middleFrom) {
        for (int y = 0; y < rows; ++y)
            std::memcpy(top + y * rowStride + middleFrom,
                        reinterpret_cast<const quint32*>(opaque.constScanLine(y)) + (middleFrom - x0),
                        static_cast<std::size_t>(middleTo - middleFrom) * 4);
    }
    const auto fadeColumn = [&](int x, int level) {
        if (x < first || x >= last)
            return;
        const quint32* from = fades + (static_cast<std::size_t>(x - x0) * m + level) * rows;
        for (int y = 0; y < rows; ++y)
            top[y * rowStride + x] = from[y];
    };
    for (int i = 0; i < m; ++i) {
        fadeColumn(i, i);
        fadeColumn(w - 1 - i, i);
    }
    return true;
}

Color Image::colorAtPixel(int x, int y) const
{
    const QImage& bits = bitmap();
    if (x < 0 || y < 0 || x >= bits.width() || y >= bits.height())
        return Color::clearColor();
    const QColor c = bits.pixelColor(x, bits.height() - 1 - y);
    return Color::colorWithDeviceRed(c.redF(), c.greenF(), c.blueF(), c.alphaF());
}

bool Image::writePNG(const std::string& path) const
{
    return bitmap().save(QString::fromStdString(path), "PNG");
}

} // namespace kit
