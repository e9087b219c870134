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

TunesView::PaintState TunesView::paintState(float atOffset) const
{
    // Follows drawRect's paths below.
    PaintState state;
    const kit::Rect frameRect = frame();
    state.width = frameRect.width();
    state.height = frameRect.height();
    state.highlighted = highlighted;
    if (displayStaticTag) {
        state.staticTag = true;
        return state;
    }
    if (displayStr.empty())
        return state;
    state.line = true;
    state.demo = isDemoView;
    if (!img)
        return state;
    state.image = m_imageSerial;
    state.pieStyle = pieStyle;
    if (pieStyle == 1 || pieStyle == 2) {
        state.fontColor = fontColor;
        state.timePerc = timePerc;
    }
    const double W = state.width;
    const double A = pieStyle == 1 ? W - kPieRoom : pieStyle == 2 ? W - kBarRoom : W;
    state.strWidth = strWidth;
    state.drawNotes = drawNotes;
    state.stands = strWidth + (drawNotes ? kNoteAllowance : 0.0) < A + kFitSlack;
    if (state.stands)
        return state;
    state.fadeEdges = fadeEdges;
    state.scrollingDisabled = scrollingDisabled;
    state.io = std::isfinite(atOffset) ? std::trunc(atOffset) : 0.0;
    return state;
}

kit::Rect TunesView::scrollingPart() const
{
    const double W = frame().width();
    const double A = pieStyle == 1 ? W - kPieRoom : pieStyle == 2 ? W - kBarRoom : W;
    return kit::Rect(0.0, 0.0, A, frame().height());
}

void TunesView::drawRect(kit::Rect)
{
    const kit::Rect frameRect = frame();
    const double W = frameRect.width();
    const double H = frameRect.height();

    if (highlighted) {
        kit::Color::selectedMenuItemColor().set();
        kit::NSRectFill(frameRect);
    }

    if (displayStaticTag) {
        kit::BezierPath hairlines;
        kit::Color::colorWithDeviceWhite(0.0, 0.2).set();
        const double y = H * 0.5 + 0.5;
        if (W >= kTagWidth) {
            const double g = (W - kTagWidth) * 0.5;
            hairlines.moveToPoint({2.5, y});
            hairlines.lineToPoint({g + 0.5, y});
            hairlines.moveToPoint({W - 2.5, y});
            hairlines.lineToPoint({g + kTagWidth + 0.5, y});
            if (kit::Image* tag = kit::Image::imageNamed("statictag.png"))
                tag->drawAtPoint({g, (H - kTagHeight) * 0.5}, kit::ZeroRect, CompositingOperation::SourceOver,
                                 kTagOpacity);
        } else {
            hairlines.moveToPoint({0.0, y});
            hairlines.lineToPoint({W - 0.5, y});
        }
        hairlines.stroke();
        return;
    }

    if (displayStr.empty())
        return;
    // Whole points, so the line moves in steps of one point. A broken offset
    // (never set by the tick, but the field is public) draws at rest.
    const double io = std::isfinite(offset) ? std::trunc(offset) : 0.0;

    if (isDemoView) {
        kit::Color::redColor().set();
        kit::NSFrameRect(bounds());
    }
    if (!img)
        return;

    if (pieStyle != 0) {
        fontColor.set();
        if (pieStyle == 1) {
            const kit::Point centre{W - 12.0 + 4.0 - 2.0, 12.0};
            kit::BezierPath wedge;
            wedge.moveToPoint(centre);
            wedge.appendBezierPathWithArcWithCenter(centre, 8.0, 90.0, 90.0 - 360.0 * timePerc, true);
            wedge.fill();
            kit::BezierPath::bezierPathWithOvalInRect(kit::Rect(W - 18.0, 4.0, 16.0, 16.0)).stroke();
        } else if (pieStyle == 2) {
            kit::NSFrameRect(kit::Rect(W - 6.0, 3.0, 4.0, 17.0));
            kit::NSRectFill(kit::Rect(W - 6.0, 3.0, 4.0, 17.0 * timePerc));
        }
    }

    const double A = pieStyle == 1 ? W - kPieRoom : pieStyle == 2 ? W - kBarRoom : W;
    const double sw = strWidth;

    // A line that fits stands still, right-aligned in the text area.
    const double notes = drawNotes ? kNoteAllowance : 0.0;
    if (sw + notes < A + kFitSlack) {
        img->drawInRect(kit::Rect(A - sw, 0.0, sw, H), kit::Rect(0.0, 0.0, sw, H), CompositingOperation::SourceOver,
                        1.0);
        return;
    }

    // Scrolling: every draw is a pure translation by X0, full height.
    const double X0 = A + io + (pieStyle == 1 && scrollingDisabled ? kPieRestShift : 0.0);
    img->drawScrolled(A, H, X0, fadeEdges ? kFadeColumns : 0);
}
