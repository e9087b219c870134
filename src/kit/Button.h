#pragma once

#include "kit/Control.h"

#include <string>

namespace kit {

// A push button or a checkbox.
class Button : public Control {
public:
    explicit Button(QWidget* widget);

    // Checkbox state: 1 on, 0 off. A push button is always off.
    int state() const;
    void setState(int state);

    std::string title() const;

    // Clicks the button as the user would: a checkbox toggles first, then
    // the action is sent.
    void performClick();
};

} // namespace kit
