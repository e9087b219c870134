#include "kit/Window.h"

#include "kit/PlainText.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace kit {

struct Window::Private {
    QPointer<QWidget> widget;
    std::unique_ptr<QObject> filter;
    std::function<void()> closeHandler;
    bool shownBefore = false;
};

// Turns a title-bar close into the window's close handler.
class Window::CloseFilter : public QObject {
public:
    explicit CloseFilter(Window* window) : m_window(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close && m_window->d->closeHandler) {
            // The handler decides; the widget itself is only ever hidden.
            static_cast<QCloseEvent*>(event)->ignore();
            m_window->d->closeHandler();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    Window* m_window;
};

Window::Window(QWidget* widget)
    : d(std::make_unique<Private>())
{
    d->widget = widget;
    d->filter = std::make_unique<CloseFilter>(this);
    if (widget)
        widget->installEventFilter(d->filter.get());
}

Window::~Window()
{
    if (d->widget) {
        d->widget->removeEventFilter(d->filter.get());
        delete d->widget.data();
    }
}

QWidget* Window::widget() const
{
    return d->widget.data();
}

bool Window::isVisible() const
{
    return d->widget && d->widget->isVisible();
}

void Window::orderOut(void*)
{
    if (d->widget)
        d->widget->hide();
}

void Window::makeKeyAndOrderFront(void*)
{
    if (!d->widget)
        return;
    // A window not yet placed opens in the middle of the screen.
    if (!d->shownBefore) {
        d->shownBefore = true;
        // Its size is its own: the controls sit at fixed places. Saying so
        // (equal minimum and maximum sizes) is also what makes tiling window
        // managers (i3, sway) float it rather than tile it.
        if (QLayout* layout = d->widget->layout())
            layout->activate(); // the size the layout gives it
        d->widget->setFixedSize(d->widget->size());
        center();
    }
    d->widget->show();
    d->widget->raise();
    d->widget->activateWindow();
}

void Window::center()
{
    if (!d->widget)
        return;
    QScreen* screen = d->widget->screen() ? d->widget->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = d->widget->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    d->widget->move(frame.topLeft());
}

namespace {
// Height of the screen the widget is on, to turn Qt's top-left origin into
// a bottom-left one.
int screenHeight(const QWidget* widget)
{
    const QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0;
}
} // namespace

Rect Window::frame() const
{
    if (!d->widget)
        return Rect();
    const QRect g = d->widget->frameGeometry();
    return Rect(g.x(), screenHeight(d->widget) - (g.y() + g.height()), g.width(), g.height());
}

void Window::setFrame(Rect frame, bool display)
{
    if (!d->widget)
        return;
    const QRect current = d->widget->frameGeometry();
    const int x = static_cast<int>(frame.x());
    const int y = screenHeight(d->widget) - static_cast<int>(frame.y() + frame.height());
    if (frame.width() != current.width() || frame.height() != current.height()) {
        // Client size follows the frame, less the decorations.
        const int dw = current.width() - d->widget->width();
        const int dh = current.height() - d->widget->height();
        const QSize size(static_cast<int>(frame.width()) - dw, static_cast<int>(frame.height()) - dh);
        if (d->widget->minimumSize() == d->widget->maximumSize())
            d->widget->setFixedSize(size); // a size of its own still, the new one
        else
            d->widget->resize(size);
    }
    d->widget->move(x, y);
    if (display)
        d->widget->repaint();
}

void Window::nameInTexts(const std::string& placeholder, const std::string& name)
{
    QWidget* w = widget();
    if (!w)
        return;
    const QString from = QString::fromStdString(placeholder);
    const QString to = QString::fromStdString(name);
    // The file's own text, kept on the object the first time.
    auto original = [](QObject* object, const QString& current) {
        QVariant kept = object->property("kitFileText");
        if (!kept.isValid()) {
            object->setProperty("kitFileText", current);
            return current;
        }
        return kept.toString();
    };
    // The name is plain text wherever it goes.
    w->setWindowTitle(original(w, w->windowTitle()).replace(from, windowTitleForPlain(to)));
    for (QLabel* label : w->findChildren<QLabel*>()) {
        const QString text = original(label, label->text());
        const Qt::TextFormat format = label->textFormat();
        if (format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text))) {
            label->setText(QString(text).replace(from, to.toHtmlEscaped()));
            continue;
        }
        label->setTextFormat(Qt::PlainText);
        label->setText(QString(text).replace(from, label->buddy() ? mnemonicTextForPlain(to) : to));
    }
    for (QAbstractButton* button : w->findChildren<QAbstractButton*>())
        button->setText(original(button, button->text()).replace(from, mnemonicTextForPlain(to)));
}

std::string Window::title() const
{
    return d->widget ? plainForWindowTitle(d->widget->windowTitle()).toStdString() : std::string();
}

void Window::setCloseHandler(std::function<void()> handler)
{
    d->closeHandler = std::move(handler);
}

} // namespace kit
