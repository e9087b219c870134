#include "kit/StatusBar.h"

#include "kit/StatusItem.h"
#include "kit/WaylandStrip.h"
#include "kit/X11Panel.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace kit {

namespace {

// The strip behind the items: a light, menu-bar-like band with a hairline
// along its bottom edge.
class StripWidget final : public QWidget {
public:
    StripWidget()
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                               | Qt::WindowDoesNotAcceptFocus)
    {
        setAttribute(Qt::WA_ShowWithoutActivating);
        // Window lists and the X11 name say what the strip belongs to.
        setWindowTitle(QStringLiteral("Zintara"));
        // Ignored where nothing composites windows; the strip is then opaque.
        setWindowOpacity(0.96);
    }

    // Puts the items at their distances from the right end. A window manager
    // may make the strip wider than asked (i3 spreads docks over the whole
    // top): the items stay at the right end, over the band.
    void placeItems()
    {
        for (QObject* child : children()) {
            auto* item = qobject_cast<QWidget*>(child);
            const QVariant fromRight = item ? item->property(kFromRight) : QVariant();
            if (fromRight.isValid())
                item->move(width() - fromRight.toInt(), 0);
        }
    }
    static constexpr const char* kFromRight = "zintaraFromRight";

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        StatusBar::paintStrip(painter, size());
    }

    void resizeEvent(QResizeEvent*) override
    {
        placeItems();
        update(); // where the items were shows the band again
    }
};

} // namespace

struct StatusBar::Private {
    QPointer<QWidget> strip;
    QRect asked; // the strip's place as last asked for
    QMetaObject::Connection screenMoved, screenAreaChanged;

    QWidget* ensureStrip(StatusBar* bar)
    {
        if (strip)
            return strip.data();
        strip = new StripWidget;
        // The strip follows the primary screen: its size, its work area
        // (panels coming and going) and which screen is primary.
        QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, strip, [this, bar] {
            followPrimaryScreen(bar);
            bar->layOut();
        });
        followPrimaryScreen(bar);
        X11Panel::watchReservations(strip, [bar] { bar->layOut(); });
        return strip.data();
    }

    void followPrimaryScreen(StatusBar* bar)
    {
        QObject::disconnect(screenMoved);
        QObject::disconnect(screenAreaChanged);
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen || !strip)
            return;
        screenMoved = QObject::connect(screen, &QScreen::geometryChanged, strip, [bar] { bar->layOut(); });
        screenAreaChanged
            = QObject::connect(screen, &QScreen::availableGeometryChanged, strip, [bar] { bar->layOut(); });
    }
};

void StatusBar::paintStrip(QPainter& painter, const QSize& size)
{
    painter.fillRect(QRect(QPoint(0, 0), size), QColor(242, 242, 242));
    painter.fillRect(QRect(0, size.height() - 1, size.width(), 1), QColor(0, 0, 0, 48));
}

StatusBar& StatusBar::systemStatusBar()
{
    static StatusBar bar;
    return bar;
}

StatusBar::StatusBar()
    : d(std::make_unique<Private>())
{
}

StatusBar::~StatusBar()
{
    if (!QCoreApplication::instance()) {
        // Past the application's end widgets can no longer be deleted; the
        // process is about to go and takes them along.
        for (auto& item : m_items)
            (void)item.release();
        m_items.clear();
        return;
    }
    m_items.clear();
    delete d->strip.data();
}

QWidget* StatusBar::widget() const
{
    return d->strip.data();
}

double StatusBar::width() const
{
    if (m_widthOverride > 0.0)
        return m_widthOverride;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().width() : 0.0;
}

StatusItem* StatusBar::statusItemWithLength(float length)
{
    if (!std::isfinite(length) || length <= 0.0f)
        return nullptr;
    double used = 0.0;
    for (const auto& item : m_items)
        used += item->length();
    if (used + length > width())
        return nullptr;
    d->ensureStrip(this);
    m_items.push_back(std::make_unique<StatusItem>(this, length));
    layOut();
    return m_items.back().get();
}

void StatusBar::removeStatusItem(StatusItem* item)
{
    const auto it = std::find_if(m_items.begin(), m_items.end(),
                                 [item](const std::unique_ptr<StatusItem>& own) { return own.get() == item; });
    if (it == m_items.end())
        return;
    m_items.erase(it);
    layOut();
}

void StatusBar::reset()
{
    m_items.clear();
    layOut();
}

void StatusBar::layOut()
{
    QWidget* strip = d->strip.data();
    // A screen that became too narrow for every item keeps those that fit,
    // from the first on; the others are hidden until there is room again.
    const double barWidth = width();
    double total = 0.0;
    for (const auto& item : m_items) {
        if (total + item->length() > barWidth)
            break;
        total += item->length();
    }

    // The first item sits at the right end; each later one to the left of
    // the one before. Positions count from the left of the whole bar.
    const double stripLeft = barWidth - total;
    double right = barWidth;
    for (const auto& item : m_items) {
        right -= item->length();
        item->setX(right);
        if (QWidget* slot = item->widget(); slot && strip) {
            if (slot->parentWidget() != strip)
                slot->setParent(strip);
            slot->setProperty(StripWidget::kFromRight, static_cast<int>(std::lround(barWidth - right)));
            slot->setVisible(right >= stripLeft);
        }
    }

    if (!strip)
        return;
    static_cast<StripWidget*>(strip)->placeItems();
    const int thickness = static_cast<int>(kThickness);
    const int stripWidth = static_cast<int>(std::lround(total));
    // On a compositor with layer shell the strip is its panel instead.
    if (WaylandStrip* panel = WaylandStrip::instance()) {
        panel->show(strip, m_items.empty() ? QSize() : QSize(stripWidth, thickness));
        return;
    }
    if (m_items.empty()) {
        // Hidden at the next pass only: an item replaced in one go (each
        // save of the preferences) then never unmaps the strip, and the
        // window manager keeps it a panel.
        QTimer::singleShot(0, strip, [this, strip] {
            if (m_items.empty())
                strip->hide();
        });
        return;
    }
    if (!strip->isVisible()) {
        // The panel's marks go on before each map: the window manager reads
        // them as it takes the window on, and drops some from a window it
        // lets go.
        strip->winId();
        X11Panel::markAsPanel(strip->windowHandle(), QStringLiteral("Zintara"));
    }
    QRect place(0, 0, stripWidth, thickness);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const int right = screen->availableGeometry().right();
        const QRect area = X11Panel::workAreaWithout(strip->windowHandle(), screen, right - stripWidth + 1, right);
        place.moveTopRight(QPoint(area.right(), area.top()));
    }
    // Asked once a place: a window manager that keeps docks elsewhere (i3
    // spreads them over the whole top) is not asked again at every layout.
    if (place != d->asked || !strip->isVisible()) {
        d->asked = place;
        if (strip->geometry() != place) {
            // Window managers size a window in its resize steps from its
            // base size; the strip keeps exactly its size, under its own strut.
            strip->setFixedSize(place.size());
            strip->setBaseSize(X11Panel::baseSizeForFixed(QGuiApplication::primaryScreen(), place.size()));
            strip->setGeometry(place);
        }
    }
    strip->show();
    strip->raise();
    X11Panel::reserveTop(strip->windowHandle(), place);
}

} // namespace kit
