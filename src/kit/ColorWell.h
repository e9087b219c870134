#pragma once

#include "kit/Color.h"
#include "kit/Control.h"

#include <memory>

class QObject;

namespace kit {

// A colour well: a button that shows its colour and, when clicked, opens a
// colour panel (non-modal) on that colour. Every change the user makes in
// the panel becomes the well's colour and sends the well's action.
//
// The widget is a push or tool button marked with the dynamic property
// `colorWell` (true). The colour set with `setColor` is kept exactly; the
// panel's colours arrive in device RGB with the panel's alpha.
class ColorWell : public Control {
public:
    explicit ColorWell(QWidget* widget);
    ~ColorWell() override;

    const Color& color() const { return m_color; }
    // Sends no action.
    void setColor(const Color& color);

    // Opens the colour panel on the well's colour, as a click does.
    void activate();
    bool isPanelVisible() const;

private:
    void showColor();
    struct Private;
    std::unique_ptr<Private> d;
    Color m_color;
};

} // namespace kit
