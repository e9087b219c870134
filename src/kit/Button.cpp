#include "kit/Button.h"

#include <QAbstractButton>

namespace kit {

namespace {
QAbstractButton* asButton(QWidget* widget)
{
    return qobject_cast<QAbstractButton*>(widget);
}
} // namespace

Button::Button(QWidget* widget)
    : Control(widget)
{
}

int Button::state() const
{
    QAbstractButton* button = asButton(widget());
    return button && button->isCheckable() && button->isChecked() ? 1 : 0;
}

void Button::setState(int state)
{
    QAbstractButton* button = asButton(widget());
    if (button && button->isCheckable())
        button->setChecked(state != 0);
}

std::string Button::title() const
{
    QAbstractButton* button = asButton(widget());
    return button ? button->text().toStdString() : std::string();
}

void Button::performClick()
{
    if (QAbstractButton* button = asButton(widget()))
        button->click(); // toggles a checkbox and emits clicked, which sends the action
    else
        sendAction();
}

} // namespace kit
