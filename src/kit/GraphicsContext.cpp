#include "kit/GraphicsContext.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>

namespace kit {

namespace {
GraphicsContext* g_current = nullptr;
}

GraphicsContext::GraphicsContext(QPainter& painter)
    : m_painter(painter)
    , m_previous(g_current)
{
    g_current = this;
}

GraphicsContext::~GraphicsContext()
{
    g_current = m_previous;
}

GraphicsContext* GraphicsContext::current()
{
    return g_current;
}

double GraphicsContext::scale() const
{
    const QPaintDevice* device = target(m_painter);
    return device ? device->devicePixelRatioF() : 1.0;
}

const QPaintDevice* GraphicsContext::target(const QPainter& painter)
{
    const QPaintEngine* engine = painter.paintEngine();
    const QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    return device ? device : painter.device();
}

void GraphicsContext::flip(QPainter& painter, double height)
{
    painter.translate(0.0, height);
    painter.scale(1.0, -1.0);
}

} // namespace kit
