#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <functional>

class QObject;
class QScreen;
class QWindow;

namespace kit {

// Makes a top-level window a panel of an EWMH window manager on X11: a
// window of the panel type (DOCK in EWMH's words) on every workspace that
// never takes the focus and reserves its place at the top of the screen, so
// maximized windows stay clear of it.
// Elsewhere (offscreen, Wayland) every call does nothing and the window
// stays an ordinary frameless one.
class X11Panel {
public:
    // True when windows are X11 windows.
    static bool isAvailable();

    // Marks the window as a panel named `title` with class "Zintara". Call
    // before the window is first shown: window managers read the type when
    // they take a window on.
    static void markAsPanel(QWindow* window, const QString& title);

    // Reserves `place` (the window's frame in screen coordinates) at the top
    // of the screen, over the window's own width only. Where another screen
    // lies above it, nothing is reserved: a top reservation counts from the
    // top of the whole display and would take that screen's rows too.
    static void reserveTop(QWindow* window, const QRect& place);

    // The area of `screen` where the window may sit: the work area the window
    // manager gives, except that the window's own reservation is not counted
    // (else it would push itself further down at each change). Other panels'
    // reservations over [left, right] still count.
    static QRect workAreaWithout(const QWindow* window, const QScreen* screen, int left, int right);

    // A base size for a window of fixed `size` on `screen` from which the
    // window manager's resize steps land on that very size. Under a
    // fractional scale Qt asks for steps of more than one pixel (two at
    // 1.5), counted from the base size, so a size of another parity would
    // be rounded down.
    static QSize baseSizeForFixed(const QScreen* screen, const QSize& size);

    // Calls `changed` whenever another window's reservation may have
    // changed: a window came or went, or changed its strut. The work area
    // alone does not tell, since the window's own strut can hide a change
    // above it. Stops when `context` goes.
    static void watchReservations(QObject* context, std::function<void()> changed);
};

} // namespace kit
