#pragma once

#include <memory>
#include <vector>

class QPainter;
class QSize;
class QWidget;

namespace kit {

class StatusItem;

// The system status bar: a thin, frameless, always-on-top strip along the
// top of the screen. Items are laid out from the right end leftwards, in the
// order they were made; an item that would not fit is refused.
class StatusBar {
public:
    static StatusBar& systemStatusBar();

    // Thickness of the strip in points.
    static constexpr double kThickness = 26.0;

    // A new item `length` points wide at the left of the existing ones, or
    // null when it does not fit in the bar (or the length is not positive).
    // The bar keeps the item until `removeStatusItem`.
    StatusItem* statusItemWithLength(float length);
    void removeStatusItem(StatusItem* item);

    // Width in points available to items (the screen's width).
    double width() const;
    // Overrides the width (tests; 0 restores the screen's).
    void setWidthForTesting(double width) { m_widthOverride = width; }

    const std::vector<std::unique_ptr<StatusItem>>& items() const { return m_items; }

    // Drops every item (tests).
    void reset();

    // Kit-internal: the top-level strip that holds the items (null until
    // the first item is made).
    QWidget* widget() const;
    // Kit-internal: paints the strip's own band, `size` being the strip's.
    static void paintStrip(QPainter& painter, const QSize& size);

private:
    StatusBar();
    ~StatusBar();
    void layOut();

    struct Private;
    std::unique_ptr<Private> d;
    std::vector<std::unique_ptr<StatusItem>> m_items;
    double m_widthOverride = 0.0;
};

} // namespace kit
