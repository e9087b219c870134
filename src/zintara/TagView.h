#pragma once

#include "kit/View.h"

#include <cstdint>
#include <string>

// The web tag: a small clickable picture that opens the maker's web page.
class TagView : public kit::View {
public:
    // The page a click opens.
    static const char* const kMakerURL;
    // The area that shows the pointing hand, whatever the view's size.
    static constexpr double kTrackingWidth = 98.0;
    static constexpr double kTrackingHeight = 12.0;

    explicit TagView(kit::Rect frame);

    bool isOpaque() const override { return false; }
    void viewDidMoveToWindow() override;
    void mouseEntered(const kit::Event& event) override;
    void mouseExited(const kit::Event& event) override;
    void mouseDown(const kit::Event& event) override;
    void drawRect(kit::Rect dirty) override;

    // The tag of the tracking rectangle registered last.
    std::int32_t tr = 0;
};
