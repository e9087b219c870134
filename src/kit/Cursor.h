#pragma once

namespace kit {

// The mouse pointer's shape for the whole application.
class Cursor {
public:
    enum class Shape { Arrow, PointingHand };

    static Cursor pointingHandCursor() { return Cursor(Shape::PointingHand); }
    static Cursor arrowCursor() { return Cursor(Shape::Arrow); }
    // The shape set last.
    static Shape currentShape();

    // Makes this the current cursor.
    void set() const;

private:
    explicit Cursor(Shape shape) : m_shape(shape) {}
    Shape m_shape;
};

} // namespace kit
