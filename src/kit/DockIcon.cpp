#include "kit/DockIcon.h"

#include "kit/Application.h"
#include "kit/ApplicationDelegate.h"
#include "kit/Bundle.h"
#include "kit/Menu.h"
#include "kit/PlainText.h"
#include "kit/RunLoop.h"
#include "kit/X11Support.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>
#include <QWindow>

#include <cstdlib>

namespace kit {

namespace {

// Keeps the application's windows out of the taskbar and pager while it has
// no Dock icon, as each is about to be shown.
class TaskbarFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            auto* widget = qobject_cast<QWidget*>(watched);
            const Qt::WindowType type = widget ? widget->windowType() : Qt::Widget;
            if (widget && widget->isWindow() && type != Qt::Popup && type != Qt::ToolTip) {
                widget->winId();
                x11::skipTaskbar(widget->windowHandle());
            }
        }
        return false;
    }
};

// LSUIElement as the system reads it: absent or "" is 0, otherwise its
// integer value.
int bundleUIElement()
{
    const std::optional<std::string> entry = Bundle::mainBundle().infoString("LSUIElement");
    return entry ? std::atoi(entry->c_str()) : 0;
}

} // namespace

struct DockIcon::Private {
    QPointer<QSystemTrayIcon> tray;
    QPointer<TaskbarFilter> filter;
    QString toolTip; // as given; the tray may be handed it escaped
    bool menuUp = false;

    void clear()
    {
        delete tray.data();
        delete filter.data();
    }
};

DockIcon& DockIcon::shared()
{
    static DockIcon icon;
    return icon;
}

DockIcon::DockIcon()
    : d(std::make_unique<Private>())
{
}

DockIcon::~DockIcon()
{
    if (QCoreApplication::instance())
        d->clear();
}

void DockIcon::applyBundleSetting()
{
    d->clear();
    if (!qApp)
        return;
    if (bundleUIElement() != 0) {
        d->filter = new TaskbarFilter(qApp);
        qApp->installEventFilter(d->filter);
        return;
    }
    // Where no tray host runs yet the icon waits for one; nothing else
    // depends on it.
    d->tray = new QSystemTrayIcon(QApplication::windowIcon(), qApp);
    d->toolTip = QStringLiteral("Zintara");
    d->tray->setToolTip(d->toolTip);
    // The drop-down menu is also the icon's context menu: a tray host that
    // shows menus itself (a StatusNotifierItem host, through DBusMenu) then
    // offers it on a right click instead of a menu of its own.
    ApplicationDelegate* delegate = Application::sharedApplication().delegate();
    if (Menu* menu = delegate ? delegate->applicationDockMenu() : nullptr; menu && menu->qmenu())
        d->tray->setContextMenu(menu->qmenu());
    QObject::connect(d->tray, &QSystemTrayIcon::activated, d->tray, [this](QSystemTrayIcon::ActivationReason reason) {
        // A context request has already shown the context menu where there is one.
        const bool contextShown = reason == QSystemTrayIcon::Context && d->tray && d->tray->contextMenu();
        if ((reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context) && !contextShown)
            QMetaObject::invokeMethod(qApp, [this] { popUpMenu(); }, Qt::QueuedConnection);
    });
    d->tray->show();
}

bool DockIcon::isShown() const
{
    return d->tray != nullptr;
}

std::string DockIcon::toolTip() const
{
    return d->tray ? d->toolTip.toStdString() : std::string();
}

void DockIcon::setToolTip(const std::string& text)
{
    if (!d->tray)
        return;
    d->toolTip = QString::fromStdString(text);
    d->tray->setToolTip(autoTextForPlain(d->toolTip));
}

void DockIcon::popUpMenu()
{
    ApplicationDelegate* delegate = Application::sharedApplication().delegate();
    Menu* menu = delegate ? delegate->applicationDockMenu() : nullptr;
    QMenu* qmenu = menu ? menu->qmenu() : nullptr;
    if (!qmenu || d->menuUp)
        return;
    d->menuUp = true;
    RunLoopModeScope tracking(RunLoopMode::EventTracking);
    qmenu->exec(QCursor::pos());
    d->menuUp = false;
}

void DockIcon::resetForTesting()
{
    d->clear();
}

} // namespace kit
