#pragma once

// Conversions between kit values and Qt ones. Kit-internal.

#include "kit/Color.h"
#include "kit/Graphics.h"

#include <QColor>
#include <QPainter>

namespace kit {

inline QColor toQColor(const Color& color)
{
    return QColor::fromRgbF(static_cast<float>(color.redComponent()), static_cast<float>(color.greenComponent()),
                            static_cast<float>(color.blueComponent()), static_cast<float>(color.alphaComponent()));
}

inline QPainter::CompositionMode toQtMode(CompositingOperation operation)
{
    switch (operation) {
    case CompositingOperation::Clear: return QPainter::CompositionMode_Clear;
    case CompositingOperation::Copy: return QPainter::CompositionMode_Source;
    case CompositingOperation::SourceIn: return QPainter::CompositionMode_SourceIn;
    case CompositingOperation::SourceOut: return QPainter::CompositionMode_SourceOut;
    case CompositingOperation::SourceAtop: return QPainter::CompositionMode_SourceAtop;
    case CompositingOperation::DestinationOver: return QPainter::CompositionMode_DestinationOver;
    case CompositingOperation::DestinationIn: return QPainter::CompositionMode_DestinationIn;
    case CompositingOperation::DestinationOut: return QPainter::CompositionMode_DestinationOut;
    case CompositingOperation::DestinationAtop: return QPainter::CompositionMode_DestinationAtop;
    case CompositingOperation::XOR: return QPainter::CompositionMode_Xor;
    case CompositingOperation::PlusDarker: return QPainter::CompositionMode_Darken;
    case CompositingOperation::PlusLighter: return QPainter::CompositionMode_Plus;
    case CompositingOperation::SourceOver:
    case CompositingOperation::Highlight: break;
    }
    return QPainter::CompositionMode_SourceOver;
}

// Sets and restores the painter's composition mode and opacity around one
// drawing operation, cheaper than a full save/restore.
class PainterStateScope {
public:
    PainterStateScope(QPainter& painter, QPainter::CompositionMode mode, double opacity)
        : m_painter(painter)
        , m_mode(painter.compositionMode())
        , m_opacity(painter.opacity())
    {
        if (mode != m_mode)
            painter.setCompositionMode(mode);
        if (opacity != m_opacity)
            painter.setOpacity(opacity);
    }
    ~PainterStateScope()
    {
        if (m_painter.compositionMode() != m_mode)
            m_painter.setCompositionMode(m_mode);
        if (m_painter.opacity() != m_opacity)
            m_painter.setOpacity(m_opacity);
    }
    PainterStateScope(const PainterStateScope&) = delete;
    PainterStateScope& operator=(const PainterStateScope&) = delete;

private:
    QPainter& m_painter;
    QPainter::CompositionMode m_mode;
    double m_opacity;
};

} // namespace kit
