#pragma once

#include <QRect>
#include <QSize>

#include <memory>

class QWidget;

namespace kit {

// The status bar's strip as a panel of a Wayland compositor that offers layer
// shell (sway, Hyprland, river, KDE Plasma): a layer surface at the top right
// of an output, in the layer above windows, reserving its height there and
// never taking the keyboard. It shows the strip widget's own pixels, drawn by
// the widgets as on X11, and hands clicks on it to them. The widget itself is
// never mapped on the X11 side (Xwayland), where menus and windows stay; it
// keeps the panel's place in layout coordinates, so that a menu opened under
// an item lands under it on screen.
class WaylandStrip {
public:
    // The panel when Zintara runs through Xwayland on a compositor with layer
    // shell, else null. The connection is made at the first call.
    static WaylandStrip* instance();
    // The panel if it shows the top-level widget `top`, else null.
    static WaylandStrip* showing(const QWidget* top);

    ~WaylandStrip();
    WaylandStrip(const WaylandStrip&) = delete;
    WaylandStrip& operator=(const WaylandStrip&) = delete;

    // Shows `strip` (a top-level widget, never shown on X11) on the panel,
    // `size` points large; an empty size takes the panel away.
    void show(QWidget* strip, QSize size);
    // Draws `area` of the strip (in its points) again from its widgets, at
    // the compositor's next frame.
    void redraw(const QRect& area);
    // Device pixels a point on the panel's output.
    int scale() const;

    // The connection's state, reached from the protocol's callbacks.
    struct Private;

private:
    WaylandStrip();
    bool connect();

    std::unique_ptr<Private> d;
};

} // namespace kit
