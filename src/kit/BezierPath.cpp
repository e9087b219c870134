#include "kit/BezierPath.h"

#include "kit/GraphicsContext.h"
#include "kit/QtBridge.h"

#include <QPainterPath>
#include <QPen>

#include <cmath>
#include <numbers>

namespace kit {

namespace {
// The travel of an arc in degrees, never negative: start and end are taken in
// the arc's direction, a backwards pair goes round the long way, and more than
// a turn is reduced, a whole number of turns counting as one turn.
double sweepOf(double startAngle, double endAngle, bool clockwise)
{
    double sweep = clockwise ? startAngle - endAngle : endAngle - startAngle;
    if (!std::isfinite(sweep))
        return 0.0;
    if (sweep < 0.0) {
        sweep = std::fmod(sweep, 360.0) + 360.0;
    } else if (sweep > 360.0) {
        sweep = std::fmod(sweep, 360.0);
        if (sweep == 0.0)
            sweep = 360.0;
    }
    return sweep;
}

QPointF toQ(Point p)
{
    return QPointF(p.x, p.y);
}
} // namespace

BezierPath::BezierPath()
    : m_path(std::make_unique<QPainterPath>())
{
    m_path->setFillRule(Qt::WindingFill);
}

BezierPath::~BezierPath() = default;

BezierPath::BezierPath(const BezierPath& other)
    : m_path(std::make_unique<QPainterPath>(*other.m_path))
    , m_lineWidth(other.m_lineWidth)
    , m_hasCurrentPoint(other.m_hasCurrentPoint)
{
}

BezierPath& BezierPath::operator=(const BezierPath& other)
{
    if (this != &other) {
        *m_path = *other.m_path;
        m_lineWidth = other.m_lineWidth;
        m_hasCurrentPoint = other.m_hasCurrentPoint;
    }
    return *this;
}

BezierPath BezierPath::bezierPathWithOvalInRect(Rect rect)
{
    BezierPath path;
    path.m_path->addEllipse(QRectF(rect.x(), rect.y(), rect.width(), rect.height()));
    path.m_hasCurrentPoint = true;
    return path;
}

BezierPath BezierPath::bezierPathWithRect(Rect rect)
{
    BezierPath path;
    path.m_path->addRect(QRectF(rect.x(), rect.y(), rect.width(), rect.height()));
    path.m_hasCurrentPoint = true;
    return path;
}

void BezierPath::moveToPoint(Point point)
{
    m_path->moveTo(toQ(point));
    m_hasCurrentPoint = true;
}

void BezierPath::lineToPoint(Point point)
{
    if (!m_hasCurrentPoint)
        return; // a line needs a point to start from
    m_path->lineTo(toQ(point));
}

void BezierPath::curveToPoint(Point end, Point control1, Point control2)
{
    if (!m_hasCurrentPoint)
        return;
    m_path->cubicTo(toQ(control1), toQ(control2), toQ(end));
}

void BezierPath::closePath()
{
    m_path->closeSubpath();
}

void BezierPath::appendBezierPathWithArcWithCenter(Point center, double radius, double startAngle, double endAngle,
                                                   bool clockwise)
{
    if (!std::isfinite(center.x) || !std::isfinite(center.y) || !std::isfinite(radius))
        return;
    const double sweep = sweepOf(startAngle, endAngle, clockwise);
    const double start = std::isfinite(startAngle) ? startAngle * std::numbers::pi / 180.0 : 0.0;
    auto at = [&](double a) { return QPointF(center.x + radius * std::cos(a), center.y + radius * std::sin(a)); };

    if (m_hasCurrentPoint)
        m_path->lineTo(at(start));
    else
        m_path->moveTo(at(start));
    m_hasCurrentPoint = true;
    if (sweep <= 0.0)
        return;

    // Cubic segments of at most a quarter turn each; angles grow
    // counter-clockwise in this y-up space, so a clockwise arc steps down.
    const int segments = std::max(1, static_cast<int>(std::ceil(sweep / 90.0 - 1e-9)));
    const double step = (clockwise ? -sweep : sweep) / segments * std::numbers::pi / 180.0;
    const double k = 4.0 / 3.0 * std::tan(step / 4.0) * radius;
    double a = start;
    for (int i = 0; i < segments; ++i) {
        const double b = a + step;
        const QPointF p0 = at(a);
        const QPointF p3 = at(b);
        const QPointF c1(p0.x() - k * std::sin(a), p0.y() + k * std::cos(a));
        const QPointF c2(p3.x() + k * std::sin(b), p3.y() - k * std::cos(b));
        m_path->cubicTo(c1, c2, p3);
        a = b;
    }
}

bool BezierPath::isEmpty() const
{
    return !m_hasCurrentPoint;
}

Point BezierPath::currentPoint() const
{
    if (!m_hasCurrentPoint)
        return Point{};
    const QPointF p = m_path->currentPosition();
    return Point{p.x(), p.y()};
}

Rect BezierPath::bounds() const
{
    if (!m_hasCurrentPoint)
        return Rect();
    const QRectF r = m_path->boundingRect();
    return Rect(r.x(), r.y(), r.width(), r.height());
}

void BezierPath::fill() const
{
    GraphicsContext* context = GraphicsContext::current();
    if (!context || isEmpty())
        return;
    QPainter& painter = context->painter();
    PainterStateScope state(painter, QPainter::CompositionMode_SourceOver, painter.opacity());
    painter.fillPath(*m_path, toQColor(context->color()));
}

void BezierPath::stroke() const
{
    GraphicsContext* context = GraphicsContext::current();
    if (!context || isEmpty() || !(m_lineWidth >= 0.0))
        return;
    QPainter& painter = context->painter();
    PainterStateScope state(painter, QPainter::CompositionMode_SourceOver, painter.opacity());
    QPen pen(toQColor(context->color()), m_lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    painter.strokePath(*m_path, pen);
}

} // namespace kit
