#pragma once

#include "kit/Color.h"

class QPaintDevice;
class QPainter;

namespace kit {

// The drawing destination in force: the view being drawn or the image whose
// focus is locked. Contexts nest as a stack; constructing one makes it
// current until it is destroyed. The painter must already map points with
// the origin at the bottom left and y up (see `flip`). Kit-internal.
class GraphicsContext {
public:
    explicit GraphicsContext(QPainter& painter);
    ~GraphicsContext();
    GraphicsContext(const GraphicsContext&) = delete;
    GraphicsContext& operator=(const GraphicsContext&) = delete;

    static GraphicsContext* current();

    QPainter& painter() const { return m_painter; }

    const Color& color() const { return m_color; }
    void setColor(const Color& color) { m_color = color; }

    // Device pixels per point of the destination.
    double scale() const;

    // Turns a painter with the device's top-left, y-down coordinates into a
    // bottom-left, y-up one for an area `height` points high.
    static void flip(QPainter& painter, double height);

    // Where the painter's pixels land: its own device, or the device it is
    // redirected to (a widget drawn into an image, as for a Wayland panel).
    static const QPaintDevice* target(const QPainter& painter);

private:
    QPainter& m_painter;
    Color m_color;
    GraphicsContext* m_previous;
};

} // namespace kit
