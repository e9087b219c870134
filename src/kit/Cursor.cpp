#include "kit/Cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace kit {

namespace {
Cursor::Shape g_current = Cursor::Shape::Arrow;
}

Cursor::Shape Cursor::currentShape()
{
    return g_current;
}

void Cursor::set() const
{
    if (m_shape == g_current)
        return;
    // One override at most: the arrow is simply no override.
    if (m_shape == Shape::PointingHand)
        QGuiApplication::setOverrideCursor(QCursor(Qt::PointingHandCursor));
    else
        QGuiApplication::restoreOverrideCursor();
    g_current = m_shape;
}

} // namespace kit
