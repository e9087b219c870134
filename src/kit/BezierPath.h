#pragma once

#include "kit/Geometry.h"

#include <memory>

class QPainterPath;

namespace kit {

// A path of lines and curves in the current drawing context's points (origin
// bottom left, y up). Filled with the non-zero winding rule; stroked with a
// butt-capped, mitre-joined line of `lineWidth` points (1.0 by default).
class BezierPath {
public:
    BezierPath();
    ~BezierPath();
    BezierPath(const BezierPath& other);
    BezierPath& operator=(const BezierPath& other);

    static BezierPath bezierPathWithOvalInRect(Rect rect);
    static BezierPath bezierPathWithRect(Rect rect);

    void moveToPoint(Point point);
    void lineToPoint(Point point);
    void curveToPoint(Point end, Point control1, Point control2);
    void closePath();

    // Appends an arc of a circle. Angles are in degrees, counter-clockwise
    // from the positive x axis. When the path has a current point, a line to
    // the arc's start comes first. Equal angles give no arc; a sweep of a
    // whole turn gives a full circle.
    void appendBezierPathWithArcWithCenter(Point center, double radius, double startAngle, double endAngle,
                                           bool clockwise);

    bool isEmpty() const;
    // The last point added; the origin for an empty path.
    Point currentPoint() const;
    Rect bounds() const;

    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width) { m_lineWidth = width; }

    // Fills with the current colour; open subpaths are closed for the fill.
    void fill() const;
    // Outlines with the current colour.
    void stroke() const;

    // Kit-internal.
    const QPainterPath& path() const { return *m_path; }

private:
    std::unique_ptr<QPainterPath> m_path;
    double m_lineWidth = 1.0;
    bool m_hasCurrentPoint = false;
};

} // namespace kit
