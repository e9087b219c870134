#include "kit/StatusItem.h"

#include "kit/Menu.h"
#include "kit/RunLoop.h"
#include "kit/StatusBar.h"
#include "kit/View.h"

#include <QCoreApplication>
#include <QCursor>
#include <QMenu>
#include <QMetaObject>
#include <QPainter>
#include <QPointer>
#include <QWidget>

#include <cmath>

namespace kit {

struct StatusItem::Private {
    // The item's place in the strip; the view's widget goes inside it.
    QPointer<QWidget> slot;
    // The shown view's widget: it goes when the view does, before the item.
    QPointer<QWidget> viewWidget;
    QMetaObject::Connection viewGone;

    // Takes the shown view's widget out of the item, leaving the view be.
    void releaseView(View* view)
    {
        QObject::disconnect(viewGone);
        if (view && viewWidget)
            view->setBackdrop(nullptr);
        QWidget* widget = viewWidget.data();
        viewWidget.clear();
        if (widget && slot && widget->parentWidget() == slot) {
            widget->hide();
            widget->setParent(nullptr);
        }
    }
};

StatusItem::StatusItem(StatusBar* bar, float length)
    : m_bar(bar)
    , m_length(length)
    , d(std::make_unique<Private>())
{
    // A bar that has not made its strip yet takes the slot in at layout.
    QWidget* strip = bar ? bar->widget() : nullptr;
    d->slot = new QWidget(strip);
    d->slot->resize(static_cast<int>(std::lround(length)), static_cast<int>(StatusBar::kThickness));
}

StatusItem::~StatusItem()
{
    d->releaseView(m_view);
    if (QCoreApplication::instance())
        delete d->slot.data();
}

QWidget* StatusItem::widget() const
{
    return d->slot.data();
}

void StatusItem::setX(double x)
{
    m_x = x;
}

void StatusItem::setView(View* view)
{
    QWidget* incoming = view ? view->widget() : nullptr;
    if (view == m_view && incoming && incoming == d->viewWidget)
        return;
    d->releaseView(m_view);
    m_view = view;
    if (!incoming || !d->slot)
        return;
    d->viewWidget = incoming;
    // The view's widget is gone only with the view itself (the item never
    // deletes it), so its end means the view has gone.
    d->viewGone = QObject::connect(incoming, &QObject::destroyed, d->slot, [this] { m_view = nullptr; });
    incoming->setParent(d->slot);
    view->setFrame(Rect(0, 0, m_length, StatusBar::kThickness));
    // Beneath the view lies only the strip's band, so a redraw of the view
    // can skip the widget paint pass.
    view->setBackdrop([](QPainter& painter, const QSize& size) { StatusBar::paintStrip(painter, size); });
    incoming->show();
}

void StatusItem::popUpStatusItemMenu(Menu& menu)
{
    QMenu* qmenu = menu.qmenu();
    if (!qmenu)
        return;
    QWidget* slot = d->slot.data();
    const QPoint below = slot ? slot->mapToGlobal(QPoint(0, slot->height())) : QCursor::pos();
    RunLoopModeScope tracking(RunLoopMode::EventTracking);
    qmenu->exec(below);
}

} // namespace kit
