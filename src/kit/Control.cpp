#include "kit/Control.h"

#include <QPointer>
#include <QWidget>

namespace kit {

struct Control::Private {
    QPointer<QWidget> widget;
};

Control::Control(QWidget* widget)
    : d(std::make_unique<Private>(Private{widget}))
{
    bool ok = false;
    const int tag = widget ? widget->property("tag").toInt(&ok) : 0;
    if (ok)
        m_tag = tag;
}

Control::~Control() = default;

QWidget* Control::widget() const
{
    return d->widget.data();
}

void Control::setAction(std::string name, Action action)
{
    m_actionName = std::move(name);
    m_action = std::move(action);
}

void Control::sendAction()
{
    if (m_action)
        m_action(this);
}

bool Control::isEnabled() const
{
    return d->widget && d->widget->isEnabled();
}

void Control::setEnabled(bool enabled)
{
    if (d->widget)
        d->widget->setEnabled(enabled);
}

} // namespace kit
