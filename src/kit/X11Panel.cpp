#include "kit/X11Panel.h"

#include "kit/X11Support.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace kit {

namespace {

using x11::atom;
using x11::rootWindow;
using x11::setWords;
using x11::words;

// Qt scales logical coordinates to the X server's pixels about the top left
// of each screen, which keeps its native place; each coordinate and each
// size is rounded once. Struts and the clients' reservations are in these
// pixels.
QRect toNative(const QScreen* screen, const QRect& logical)
{
    const qreal factor = screen->devicePixelRatio();
    const QPoint origin = screen->geometry().topLeft();
    const auto scaled = [factor](int v) { return static_cast<int>(std::lround(v * factor)); };
    return QRect(origin + QPoint(scaled(logical.x() - origin.x()), scaled(logical.y() - origin.y())),
                 QSize(scaled(logical.width()), scaled(logical.height())));
}

QRect nativeGeometry(const QScreen* screen)
{
    return toNative(screen, screen->geometry());
}

// A top strut reserves rows from the top of the root window down. That is
// the strip's own screen only where no other screen lies above the strip
// over its columns; elsewhere a strut would take part of that screen too.
bool topStrutPossible(const QRect& strip)
{
    const QRect above(strip.left(), 0, strip.width(), strip.top());
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect other = nativeGeometry(screen);
        if (!other.contains(strip.topLeft()) && other.intersects(above))
            return false;
    }
    return true;
}

// Sees the X events Qt receives and picks out those that can move a
// reservation: the client list on the root window, and struts on clients.
class ReservationWatch final : public QObject, public QAbstractNativeEventFilter {
public:
    ReservationWatch(QObject* context, xcb_connection_t* c, std::function<void()> changed)
        : QObject(context)
        , m_c(c)
        , m_root(rootWindow(c))
        , m_clientList(atom(c, "_NET_CLIENT_LIST"))
        , m_partial(atom(c, "_NET_WM_STRUT_PARTIAL"))
        , m_strut(atom(c, "_NET_WM_STRUT"))
        , m_changed(std::move(changed))
    {
        // The root window's property changes already reach Qt's connection.
        QCoreApplication::instance()->installNativeEventFilter(this);
        listenToClients();
    }
    ~ReservationWatch() override
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
            return false;
        const auto* property = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (property->window == m_root && property->atom == m_clientList) {
            listenToClients();
            m_changed();
        } else if (property->window != m_root && !isOwn(property->window)
                   && (property->atom == m_partial || property->atom == m_strut)) {
            m_changed();
        }
        return false; // Qt still gets every event
    }

private:
    // Other clients' property changes reach us only once asked for; the
    // event mask is ours alone and leaves their owners' untouched. Our own
    // windows are skipped: there it would replace the mask Qt relies on.
    void listenToClients()
    {
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        for (const uint32_t client : words(m_c, m_root, m_clientList, XCB_ATOM_WINDOW, 4096)) {
            if (isOwn(client))
                continue;
            xcb_change_window_attributes(m_c, client, XCB_CW_EVENT_MASK, &mask);
        }
        xcb_flush(m_c);
    }

    // Our own strut changes are answers, not news.
    bool isOwn(xcb_window_t window) const
    {
        const xcb_setup_t* setup = xcb_get_setup(m_c);
        return (window & ~setup->resource_id_mask) == setup->resource_id_base;
    }

    xcb_connection_t* m_c;
    xcb_window_t m_root;
    xcb_atom_t m_clientList, m_partial, m_strut;
    std::function<void()> m_changed;
};

} // namespace

void X11Panel::watchReservations(QObject* context, std::function<void()> changed)
{
    if (xcb_connection_t* c = x11::applicationConnection(); c && context)
        new ReservationWatch(context, c, std::move(changed));
}

bool X11Panel::isAvailable()
{
    return x11::applicationConnection() != nullptr;
}

void X11Panel::markAsPanel(QWindow* window, const QString& title)
{
    xcb_connection_t* c = x11::applicationConnection();
    if (!c || !window)
        return;
    // Flags first: Qt rewrites the window type whenever they change.
    window->setFlags(window->flags() | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                     | Qt::WindowDoesNotAcceptFocus);
    window->setTitle(title);
    const xcb_window_t id = static_cast<xcb_window_t>(window->winId());

    const xcb_atom_t cardinal = XCB_ATOM_CARDINAL;
    setWords(c, id, atom(c, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, {atom(c, "_NET_WM_WINDOW_TYPE_DOCK")});
    // Every workspace.
    setWords(c, id, atom(c, "_NET_WM_DESKTOP"), cardinal, {0xFFFFFFFFu});
    std::vector<uint32_t> state = words(c, id, atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32);
    for (const char* name : {"_NET_WM_STATE_STICKY", "_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR",
                             "_NET_WM_STATE_SKIP_PAGER"}) {
        const xcb_atom_t a = atom(c, name);
        if (std::find(state.begin(), state.end(), a) == state.end())
            state.push_back(a);
    }
    setWords(c, id, atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, state);

    static const char wmClass[] = "zintara\0Zintara";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof wmClass,
                        wmClass);
    xcb_flush(c);
}

void X11Panel::reserveTop(QWindow* window, const QRect& place)
{
    xcb_connection_t* c = x11::applicationConnection();
    const xcb_window_t id = x11::windowId(window);
    // The screen the place lies on: the window's own may not have followed
    // its move yet.
    const QScreen* screen = QGuiApplication::screenAt(place.topLeft());
    if (!screen && window)
        screen = window->screen();
    if (!c || id == XCB_WINDOW_NONE || !screen)
        return;
    const QRect strip = toNative(screen, place);
    const xcb_atom_t partialAtom = atom(c, "_NET_WM_STRUT_PARTIAL");
    const xcb_atom_t strutAtom = atom(c, "_NET_WM_STRUT");
    if (!topStrutPossible(strip)) {
        // No reservation rather than one that swallows the screen above.
        if (!words(c, id, partialAtom, XCB_ATOM_CARDINAL, 12).empty()) {
            xcb_delete_property(c, id, partialAtom);
            xcb_delete_property(c, id, strutAtom);
            xcb_flush(c);
        }
        return;
    }
    const auto top = static_cast<uint32_t>(strip.top() + strip.height());
    const auto startX = static_cast<uint32_t>(strip.left());
    const auto endX = static_cast<uint32_t>(strip.left() + strip.width() - 1);
    // left, right, top, bottom, then the start and end of each side's span.
    const std::vector<uint32_t> partial{0, 0, top, 0, 0, 0, 0, 0, startX, endX, 0, 0};
    // Each change makes the window manager work out the work area anew.
    if (words(c, id, partialAtom, XCB_ATOM_CARDINAL, 12) == partial)
        return;
    setWords(c, id, partialAtom, XCB_ATOM_CARDINAL, partial);
    // For window managers that know only the older, whole-edge form.
    setWords(c, id, strutAtom, XCB_ATOM_CARDINAL, {0, 0, top, 0});
    xcb_flush(c);
}

QSize X11Panel::baseSizeForFixed(const QScreen* screen, const QSize& size)
{
    const qreal factor = screen ? screen->devicePixelRatio() : 1.0;
    const auto scaled = [factor](int v) { return static_cast<int>(std::lround(v * factor)); };
    // Qt's step is one logical pixel in the server's pixels.
    const int step = std::max(1, scaled(1));
    const auto base = [&](int length) {
        for (int b = 0; b <= 2 * step && scaled(b) <= scaled(length); ++b) {
            if ((scaled(length) - scaled(b)) % step == 0)
                return b;
        }
        return 0;
    };
    return QSize(base(size.width()), base(size.height()));
}

QRect X11Panel::workAreaWithout(const QWindow* window, const QScreen* screen, int left, int right)
{
    if (!screen)
        return {};
    const QRect available = screen->availableGeometry();
    xcb_connection_t* c = x11::applicationConnection();
    const xcb_window_t root = c ? rootWindow(c) : xcb_window_t(XCB_WINDOW_NONE);
    if (root == XCB_WINDOW_NONE)
        return available;
    // Without a window manager's client list there is no one to reserve
    // anything, and the work area is what the screen reports.
    const std::vector<uint32_t> clients = words(c, root, atom(c, "_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 4096);
    if (clients.empty())
        return available;

    const QRect whole = screen->geometry();
    const QRect span = toNative(screen, QRect(left, whole.top(), right - left + 1, 1));
    const long spanLeft = span.left();
    const long spanRight = span.right();
    const xcb_window_t self = x11::windowId(window);
    const xcb_atom_t partialAtom = atom(c, "_NET_WM_STRUT_PARTIAL");
    const xcb_atom_t strutAtom = atom(c, "_NET_WM_STRUT");
    long reserved = 0;
    for (const uint32_t client : clients) {
        if (client == self)
            continue;
        const std::vector<uint32_t> partial = words(c, client, partialAtom, XCB_ATOM_CARDINAL, 12);
        if (partial.size() == 12) {
            if (partial[2] > 0 && long(partial[8]) <= spanRight && long(partial[9]) >= spanLeft)
                reserved = std::max(reserved, long(partial[2]));
            continue;
        }
        const std::vector<uint32_t> strut = words(c, client, strutAtom, XCB_ATOM_CARDINAL, 4);
        if (strut.size() == 4)
            reserved = std::max(reserved, long(strut[2]));
    }
    // Rows reserved above the screen's own top (on a screen above it) leave
    // it whole; the rest go back to logical coordinates about its top.
    const long below = reserved - whole.top();
    const int top = whole.top() + (below > 0 ? static_cast<int>(std::lround(below / screen->devicePixelRatio())) : 0);
    // Side panels still narrow the area; the strip only ever reserves the top.
    return QRect(QPoint(available.left(), top), QPoint(available.right(), std::max(top, available.bottom())));
}

} // namespace kit
