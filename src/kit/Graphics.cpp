#include "kit/Graphics.h"

#include "kit/GraphicsContext.h"
#include "kit/QtBridge.h"

#include <QPainter>

namespace kit {

void NSRectFill(Rect rect)
{
    NSRectFillUsingOperation(rect, CompositingOperation::Copy);
}

void NSRectFillUsingOperation(Rect rect, CompositingOperation operation)
{
    GraphicsContext* context = GraphicsContext::current();
    rect = rect.standardized();
    if (!context || rect.isEmpty())
        return;
    QPainter& painter = context->painter();
    PainterStateScope state(painter, toQtMode(operation), painter.opacity());
    painter.fillRect(QRectF(rect.x(), rect.y(), rect.width(), rect.height()), toQColor(context->color()));
}

void NSFrameRect(Rect rect)
{
    NSFrameRectWithWidth(rect, 1.0);
}

void NSFrameRectWithWidth(Rect rect, double width)
{
    if (rect.isEmpty() || !(width > 0.0))
        return;
    // Four strips inside the edges; where the rectangle is thinner than two
    // widths the strips cover all of it.
    const double w = std::min(width, rect.width());
    const double h = std::min(width, rect.height());
    NSRectFill(Rect(rect.x(), rect.y(), rect.width(), h));                    // bottom
    NSRectFill(Rect(rect.x(), rect.maxY() - h, rect.width(), h));             // top
    const double innerHeight = rect.height() - 2.0 * h;
    if (innerHeight > 0.0) {
        NSRectFill(Rect(rect.x(), rect.y() + h, w, innerHeight));             // left
        NSRectFill(Rect(rect.maxX() - w, rect.y() + h, w, innerHeight));      // right
    }
}

} // namespace kit
