#include "kit/MenuItem.h"

#include "kit/PlainText.h"

#include <QAction>
#include <QPointer>

namespace kit {

struct MenuItem::Private {
    QPointer<QAction> action;
};

MenuItem::MenuItem(QAction* action)
    : d(std::make_unique<Private>(Private{action}))
{
    bool ok = false;
    const int tag = action ? action->property("tag").toInt(&ok) : 0;
    if (ok)
        m_tag = tag;
    if (action) {
        QObject::connect(action, &QAction::triggered, [this](bool) {
            // Items do not toggle their own check mark; only setState does.
            if (QAction* qa = d->action.data(); qa && qa->isCheckable())
                qa->setChecked(!qa->isChecked());
            if (m_action)
                m_action(this);
        });
    }
}

MenuItem::~MenuItem() = default;

QAction* MenuItem::qaction() const
{
    return d->action.data();
}

std::string MenuItem::title() const
{
    return d->action ? plainForMnemonicText(d->action->text()).toStdString() : std::string();
}

void MenuItem::setTitle(const std::string& title)
{
    if (d->action)
        d->action->setText(mnemonicTextForPlain(QString::fromStdString(title)));
}

int MenuItem::state() const
{
    return d->action && d->action->isChecked() ? 1 : 0;
}

void MenuItem::setState(int state)
{
    if (!d->action)
        return;
    // Checkable only while it carries a mark: an unchecked checkable item
    // shows an empty box, and its neighbours that never had a mark show none.
    d->action->setCheckable(state != 0);
    d->action->setChecked(state != 0);
}

bool MenuItem::isEnabled() const
{
    return d->action && d->action->isEnabled();
}

void MenuItem::setEnabled(bool enabled)
{
    if (d->action)
        d->action->setEnabled(enabled);
}

void MenuItem::setAction(std::string name, Action action)
{
    m_actionName = std::move(name);
    m_action = std::move(action);
}

void MenuItem::performAction()
{
    if (isEnabled() && m_action)
        m_action(this);
}

} // namespace kit
