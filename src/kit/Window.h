#pragma once

#include "kit/Geometry.h"

#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace kit {

// A top-level window built from an interface file. It owns its widget.
class Window {
public:
    // Takes ownership of a top-level widget (the interface-file loader).
    explicit Window(QWidget* widget);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    bool isVisible() const;
    void orderOut(void* sender);
    void makeKeyAndOrderFront(void* sender);
    void center();
    std::string title() const;

    // Puts `name` where the interface file says `placeholder`: in the title
    // and in every label's and button's text. Always works from the texts
    // the file gave, so it can be called again with another name.
    void nameInTexts(const std::string& placeholder, const std::string& name);

    // The window's frame on the screen, in points from the screen's
    // bottom-left corner.
    Rect frame() const;
    // Moves or resizes the window; `display` asks for its content to be
    // redrawn at once as well.
    void setFrame(Rect frame, bool display);

    // Called when the user closes the window with its title-bar control.
    // Without a handler the window just hides.
    void setCloseHandler(std::function<void()> handler);

    // Kit-internal: the widget (null once Qt destroyed it).
    QWidget* widget() const;

private:
    class CloseFilter;
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace kit
