#include "zintara/TagView.h"

#include "kit/Cursor.h"
#include "kit/Image.h"
#include "kit/Workspace.h"

const char* const TagView::kMakerURL = "https://zintara.org";

TagView::TagView(kit::Rect frame)
    : kit::View(frame)
{
}

void TagView::viewDidMoveToWindow()
{
    // A new rectangle each time; earlier ones are not removed.
    tr = addTrackingRect(kit::Rect(0, 0, kTrackingWidth, kTrackingHeight));
}

void TagView::mouseEntered(const kit::Event&)
{
    kit::Cursor::pointingHandCursor().set();
}

void TagView::mouseExited(const kit::Event&)
{
    kit::Cursor::arrowCursor().set();
}

void TagView::mouseDown(const kit::Event&)
{
    kit::Workspace::sharedWorkspace().openURL(kMakerURL);
}

void TagView::drawRect(kit::Rect)
{
    if (kit::Image* image = kit::Image::imageNamed("webtag.png"))
        image->drawAtPoint(kit::Point{0, 0}, kit::ZeroRect, kit::CompositingOperation::SourceOver, 1.0);
}
