// Painting the marquee: only composites the line image that TunesView
// rendered; nothing is measured or laid out here.
#include "zintara/TunesView.h"

#include "kit/BezierPath.h"
#include "kit/Graphics.h"

#include <cmath>

namespace {
using kit::CompositingOperation;

constexpr double kTagWidth = 120.0;
constexpr double kTagHeight = 20.0;
constexpr double kTagOpacity = 0.4;
constexpr double kPieRoom = 22.0;
constexpr double kBarRoom = 8.0;
constexpr double kNoteAllowance = 16.0;
constexpr double kFitSlack = 20.0;
constexpr double kPieRestShift = 16.0;
constexpr int kFadeColumns = 10;
} // namespace

TunesView::LineLayout TunesView::lineLayout() const
{
    const double viewWidth = frame().width();
    LineLayout layout;
    layout.textWidth = m_pieStyle == 1 ? viewWidth - kPieRoom : m_pieStyle == 2 ? viewWidth - kBarRoom : viewWidth;
    // A line that fits stands still, right-aligned in the text area.
    layout.stands = m_strWidth + (m_drawNotes ? kNoteAllowance : 0.0) < layout.textWidth + kFitSlack;
    return layout;
}

TunesView::PaintState TunesView::paintState(float atOffset) const
{
    // Follows drawRect's paths below.
    PaintState state;
    const kit::Rect frameRect = frame();
    state.width = frameRect.width();
    state.height = frameRect.height();
    state.highlighted = m_highlighted;
    if (m_displayStaticTag) {
        state.staticTag = true;
        return state;
    }
    if (m_displayStr.empty())
        return state;
    state.line = true;
    state.demo = m_isDemoView;
    if (!m_img)
        return state;
    state.image = m_imageSerial;
    state.pieStyle = m_pieStyle;
    if (m_pieStyle == 1 || m_pieStyle == 2) {
        state.fontColor = m_fontColor;
        state.timePerc = m_timePerc;
    }
    state.strWidth = m_strWidth;
    state.drawNotes = m_drawNotes;
    state.stands = lineLayout().stands;
    if (state.stands)
        return state;
    state.fadeEdges = m_fadeEdges;
    state.scrollingDisabled = m_scrollingDisabled;
    state.wholeOffset = std::isfinite(atOffset) ? std::trunc(atOffset) : 0.0;
    return state;
}

kit::Rect TunesView::scrollingPart() const
{
    return kit::Rect(0.0, 0.0, lineLayout().textWidth, frame().height());
}

void TunesView::drawRect(kit::Rect)
{
    const kit::Rect frameRect = frame();
    const double viewWidth = frameRect.width();
    const double height = frameRect.height();

    if (m_highlighted) {
        kit::Color::selectedMenuItemColor().set();
        kit::NSRectFill(frameRect);
    }

    if (m_displayStaticTag) {
        kit::BezierPath hairlines;
        kit::Color::colorWithDeviceWhite(0.0, 0.2).set();
        const double y = height * 0.5 + 0.5;
        if (viewWidth >= kTagWidth) {
            const double tagLeft = (viewWidth - kTagWidth) * 0.5;
            hairlines.moveToPoint({2.5, y});
            hairlines.lineToPoint({tagLeft + 0.5, y});
            hairlines.moveToPoint({viewWidth - 2.5, y});
            hairlines.lineToPoint({tagLeft + kTagWidth + 0.5, y});
            if (kit::Image* tag = kit::Image::imageNamed("statictag.png"))
                tag->drawAtPoint({tagLeft, (height - kTagHeight) * 0.5}, kit::ZeroRect,
                                 CompositingOperation::SourceOver, kTagOpacity);
        } else {
            hairlines.moveToPoint({0.0, y});
            hairlines.lineToPoint({viewWidth - 0.5, y});
        }
        hairlines.stroke();
        return;
    }

    if (m_displayStr.empty())
        return;
    // Whole points, so the line moves in steps of one point. A broken offset
    // (never set by the tick, but `setOffset` takes any) draws at rest.
    const double wholeOffset = std::isfinite(m_offset) ? std::trunc(m_offset) : 0.0;

    if (m_isDemoView) {
        kit::Color::redColor().set();
        kit::NSFrameRect(bounds());
    }
    if (!m_img)
        return;

    if (m_pieStyle != 0) {
        m_fontColor.set();
        if (m_pieStyle == 1) {
            const kit::Point centre{viewWidth - 12.0 + 4.0 - 2.0, 12.0};
            kit::BezierPath wedge;
            wedge.moveToPoint(centre);
            wedge.appendBezierPathWithArcWithCenter(centre, 8.0, 90.0, 90.0 - 360.0 * m_timePerc, true);
            wedge.fill();
            kit::BezierPath::bezierPathWithOvalInRect(kit::Rect(viewWidth - 18.0, 4.0, 16.0, 16.0)).stroke();
        } else if (m_pieStyle == 2) {
            kit::NSFrameRect(kit::Rect(viewWidth - 6.0, 3.0, 4.0, 17.0));
            kit::NSRectFill(kit::Rect(viewWidth - 6.0, 3.0, 4.0, 17.0 * m_timePerc));
        }
    }

    const LineLayout layout = lineLayout();
    const double lineWidth = m_strWidth;
    if (layout.stands) {
        m_img->drawInRect(kit::Rect(layout.textWidth - lineWidth, 0.0, lineWidth, height),
                        kit::Rect(0.0, 0.0, lineWidth, height), CompositingOperation::SourceOver, 1.0);
        return;
    }

    // Scrolling: every draw is a pure translation by the line's left edge,
    // full height.
    const double lineLeft
        = layout.textWidth + wholeOffset + (m_pieStyle == 1 && m_scrollingDisabled ? kPieRestShift : 0.0);
    m_img->drawScrolled(layout.textWidth, height, lineLeft, m_fadeEdges ? kFadeColumns : 0);
}
