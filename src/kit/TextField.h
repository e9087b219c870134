#pragma once

#include "kit/Control.h"

#include <string>

namespace kit {

// A text field: an editable line (QLineEdit) or a label (QLabel).
class TextField : public Control {
public:
    explicit TextField(QWidget* widget);

    std::string stringValue() const;
    void setStringValue(const std::string& value);
    // The text read as an integer: leading white space, an optional sign and
    // the digits that follow; 0 when there are none, and the nearest limit
    // when the number does not fit ("13.5" gives 13, "x" gives 0).
    int intValue() const;

    static int intValueOf(const std::string& text);
};

} // namespace kit
