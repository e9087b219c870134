#include "kit/WaylandStrip.h"

#include "kit/Application.h"

#include "wlr-layer-shell-unstable-v1-client.h"
#include "xdg-output-unstable-v1-client.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QSocketNotifier>
#include <QWidget>

#include <wayland-client.h>

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

namespace kit {

namespace {

struct Output {
    WaylandStrip::Private* owner = nullptr;
    wl_output* output = nullptr;
    zxdg_output_v1* xdg = nullptr;
    std::uint32_t global = 0;
    std::string name;
    // Its place in the layout, in the compositor's logical coordinates
    // (the space Xwayland's screen shares).
    QRect logical;
    QPoint position; // from wl_output, while xdg-output says nothing
    QSize mode;      // in pixels, the same
    int scale = 1;
    bool announced = false; // its first description is complete
    bool refused = false; // closed the panel: not chosen again until the outputs change

    QRect area() const
    {
        if (logical.isValid())
            return logical;
        return QRect(position, mode / std::max(scale, 1));
    }
};

// One shared-memory buffer of the panel's pixels.
struct Buffer {
    wl_buffer* buffer = nullptr;
    void* data = nullptr;
    std::size_t bytes = 0;
    QImage image; // over `data`
    bool busy = false; // held by the compositor until it releases it
    QRegion stale; // device pixels that changed since this buffer was last filled
};

constexpr int kMostBuffers = 4;

} // namespace

struct WaylandStrip::Private {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    wl_shm* shm = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    zxdg_output_manager_v1* outputManager = nullptr;
    wl_seat* seat = nullptr;
    wl_pointer* pointer = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
    QSocketNotifier* readable = nullptr;
    QSocketNotifier* writable = nullptr;
    bool broken = false;

    // The panel.
    QPointer<QWidget> strip;
    QSize size;
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layer = nullptr;
    Output* on = nullptr;
    int marginLeft = -1; // as last asked for
    int height = 0;      // the same
    bool configured = false;
    wl_callback* frame = nullptr; // the compositor's next frame, asked for after each commit
    int bufferScale = 1;
    QImage pixels; // the strip as drawn, at the buffers' scale
    QRegion damage; // the strip's points to draw again
    std::vector<Buffer> buffers;
    bool drawing = false;

    // The pointer over the panel.
    bool pointerIn = false;
    QPointF pointerAt;
    QPointer<QWidget> hovered;

    ~Private() { disconnect(); }

    void disconnect();
    // Ends the program after a broken connection; `now` from the top of an
    // event handler, else once the current event is over.
    void fail(const char* what, bool now = false);
    void readEvents();
    void flush();

    void addOutput(std::uint32_t global);
    void describe(Output& output);
    void removeOutput(std::uint32_t global);
    Output* chooseOutput();
    void outputsChanged();
    void outputsChangedLater();

    void place();
    void makeSurface(Output* output);
    void dropSurface();
    bool setExtent();
    void moveWidget();
    void configure(std::uint32_t serial, std::uint32_t width, std::uint32_t height);
    void draw();
    Buffer* freeBuffer(QSize pixelSize);
    void dropBuffers();

    void pointerMoved();
    void pointerButton(std::uint32_t button, bool pressed);
};

namespace {

WaylandStrip::Private* privateOf(void* data)
{
    return static_cast<WaylandStrip::Private*>(data);
}

const wl_pointer_listener kPointerListener = {
    .enter =
        [](void* data, wl_pointer*, std::uint32_t, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
            auto* d = privateOf(data);
            d->pointerIn = surface && surface == d->surface;
            d->pointerAt = QPointF(wl_fixed_to_double(x), wl_fixed_to_double(y));
            d->pointerMoved();
        },
    .leave =
        [](void* data, wl_pointer*, std::uint32_t, wl_surface*) {
            auto* d = privateOf(data);
            d->pointerIn = false;
            d->pointerMoved();
        },
    .motion =
        [](void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
            auto* d = privateOf(data);
            d->pointerAt = QPointF(wl_fixed_to_double(x), wl_fixed_to_double(y));
            d->pointerMoved();
        },
    .button =
        [](void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button, std::uint32_t state) {
            privateOf(data)->pointerButton(button, state == WL_POINTER_BUTTON_STATE_PRESSED);
        },
    .axis = [](void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {},
    .frame = [](void*, wl_pointer*) {},
    .axis_source = [](void*, wl_pointer*, std::uint32_t) {},
    .axis_stop = [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {},
    .axis_discrete = [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
    .axis_value120 = [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
};

const wl_seat_listener kSeatListener = {
    .capabilities =
        [](void* data, wl_seat* seat, std::uint32_t capabilities) {
            auto* d = privateOf(data);
            const bool hasPointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
            if (hasPointer && !d->pointer) {
                d->pointer = wl_seat_get_pointer(seat);
                wl_pointer_add_listener(d->pointer, &kPointerListener, d);
            } else if (!hasPointer && d->pointer) {
                wl_pointer_destroy(d->pointer);
                d->pointer = nullptr;
                d->pointerIn = false;
            }
        },
    .name = [](void*, wl_seat*, const char*) {},
};

const wl_registry_listener kRegistryListener = {
    .global =
        [](void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version) {
            auto* d = privateOf(data);
            const std::string_view iface(interface);
            if (iface == wl_compositor_interface.name && version >= 4) {
                d->compositor = static_cast<wl_compositor*>(
                    wl_registry_bind(registry, name, &wl_compositor_interface, 4));
            } else if (iface == wl_shm_interface.name) {
                d->shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
            } else if (iface == zwlr_layer_shell_v1_interface.name) {
                d->layerShell = static_cast<zwlr_layer_shell_v1*>(
                    wl_registry_bind(registry, name, &zwlr_layer_shell_v1_interface, std::min(version, 3u)));
            } else if (iface == zxdg_output_manager_v1_interface.name && version >= 2) {
                d->outputManager = static_cast<zxdg_output_manager_v1*>(
                    wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, std::min(version, 3u)));
                for (auto& output : d->outputs)
                    d->describe(*output);
            } else if (iface == wl_seat_interface.name && !d->seat) {
                d->seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
                wl_seat_add_listener(d->seat, &kSeatListener, d);
            } else if (iface == wl_output_interface.name && version >= 2) {
                d->addOutput(name);
            }
        },
    .global_remove = [](void* data, wl_registry*, std::uint32_t name) { privateOf(data)->removeOutput(name); },
};

} // namespace

void WaylandStrip::Private::addOutput(std::uint32_t global)
{
    auto output = std::make_unique<Output>();
    output->global = global;
    output->owner = this;
    output->output = static_cast<wl_output*>(wl_registry_bind(registry, global, &wl_output_interface, 2));
    static const wl_output_listener listener = {
        .geometry =
            [](void* data, wl_output*, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t, std::int32_t,
               const char*, const char*, std::int32_t) { static_cast<Output*>(data)->position = QPoint(x, y); },
        .mode =
            [](void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height, std::int32_t) {
                if (flags & WL_OUTPUT_MODE_CURRENT)
                    static_cast<Output*>(data)->mode = QSize(width, height);
            },
        .done =
            [](void* data, wl_output*) {
                // A change of place, size or scale is complete.
                auto* output = static_cast<Output*>(data);
                if (std::exchange(output->announced, true))
                    output->owner->outputsChangedLater();
            },
        .scale = [](void* data, wl_output*, std::int32_t factor) { static_cast<Output*>(data)->scale = factor; },
        .name = [](void*, wl_output*, const char*) {},
        .description = [](void*, wl_output*, const char*) {},
    };
    wl_output_add_listener(output->output, &listener, output.get());
    outputs.push_back(std::move(output));
    if (outputManager)
        describe(*outputs.back());
    for (auto& each : outputs)
        each->refused = false; // a new output may be the one that took the refusing one's place
    // The panel may belong there now.
    outputsChangedLater();
}

void WaylandStrip::Private::describe(Output& output)
{
    if (output.xdg)
        return;
    output.xdg = zxdg_output_manager_v1_get_xdg_output(outputManager, output.output);
    static const zxdg_output_v1_listener listener = {
        .logical_position =
            [](void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
                static_cast<Output*>(data)->logical.moveTopLeft(QPoint(x, y));
            },
        .logical_size =
            [](void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
                static_cast<Output*>(data)->logical.setSize(QSize(width, height));
            },
        .done = [](void*, zxdg_output_v1*) {},
        .name = [](void* data, zxdg_output_v1*, const char* name) { static_cast<Output*>(data)->name = name; },
        .description = [](void*, zxdg_output_v1*, const char*) {},
    };
    zxdg_output_v1_add_listener(output.xdg, &listener, &output);
}

void WaylandStrip::Private::removeOutput(std::uint32_t global)
{
    const auto it = std::find_if(outputs.begin(), outputs.end(),
                                 [global](const std::unique_ptr<Output>& o) { return o->global == global; });
    if (it == outputs.end())
        return;
    if (on == it->get())
        dropSurface();
    if ((*it)->xdg)
        zxdg_output_v1_destroy((*it)->xdg);
    wl_output_destroy((*it)->output);
    outputs.erase(it);
    outputsChangedLater();
}

Output* WaylandStrip::Private::chooseOutput()
{
    // The output Qt takes for primary, else the first. Qt's screens are
    // Xwayland's, which some Xwayland versions name after the outputs and
    // others not (XWAYLAND0, ...); all place them as the outputs lie in the
    // layout.
    const QScreen* primary = QGuiApplication::primaryScreen();
    const std::string wanted = primary ? primary->name().toStdString() : std::string();
    const QPoint corner = primary ? primary->geometry().topLeft() : QPoint();
    Output* first = nullptr;
    Output* samePlace = nullptr;
    for (auto& output : outputs) {
        if (output->refused)
            continue;
        if (!wanted.empty() && output->name == wanted)
            return output.get();
        if (primary && !samePlace && output->area().topLeft() == corner)
            samePlace = output.get();
        if (!first)
            first = output.get();
    }
    return samePlace ? samePlace : first;
}

void WaylandStrip::Private::outputsChangedLater()
{
    // Once the compositor's events are read; before the connection is made
    // whole there is no panel to place.
    if (readable)
        QMetaObject::invokeMethod(readable, [this] { outputsChanged(); }, Qt::QueuedConnection);
}

void WaylandStrip::Private::outputsChanged()
{
    if (broken)
        return;
    place();
    moveWidget();
    flush();
}

void WaylandStrip::Private::place()
{
    if (!strip || size.isEmpty()) {
        dropSurface();
        return;
    }
    Output* output = chooseOutput();
    if (output != on || !layer) {
        dropSurface();
        if (output)
            makeSurface(output);
        return;
    }
    // A new extent takes effect at the next configure; till then the panel
    // stays as it was.
    if (setExtent())
        wl_surface_commit(surface);
    if (output->scale != bufferScale) {
        // Drawn again at the output's new density.
        damage = QRegion(QRect(QPoint(0, 0), size));
        draw();
    }
}

void WaylandStrip::Private::makeSurface(Output* output)
{
    on = output;
    configured = false;
    surface = wl_compositor_create_surface(compositor);
    layer = zwlr_layer_shell_v1_get_layer_surface(layerShell, surface, output->output, ZWLR_LAYER_SHELL_V1_LAYER_TOP,
                                                  "zintara");
    static const zwlr_layer_surface_v1_listener listener = {
        .configure =
            [](void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
                privateOf(data)->configure(serial, width, height);
            },
        .closed =
            [](void* data, zwlr_layer_surface_v1*) {
                // The output went or no longer takes the panel: another one
                // does, once this event is over.
                auto* d = privateOf(data);
                if (d->on)
                    d->on->refused = true;
                d->dropSurface();
                d->outputsChangedLater();
            },
    };
    zwlr_layer_surface_v1_add_listener(layer, &listener, this);
    // Compositors reserve room only along a whole edge: a surface in a
    // corner reserves nothing. So the panel spans the top edge, and a left
    // margin leaves it the strip's width at the right end.
    zwlr_layer_surface_v1_set_anchor(layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT
                                                | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_keyboard_interactivity(layer, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    marginLeft = -1;
    (void)setExtent();
    // The first commit carries no buffer: the compositor answers with the
    // panel's size, and only then are pixels attached.
    wl_surface_commit(surface);
}

bool WaylandStrip::Private::setExtent()
{
    // Width 0 between the left and right anchors: the output's width less
    // the margins, which is the strip's own.
    const int margin = std::max(on->area().width() - size.width(), 0);
    if (margin == marginLeft && size.height() == height)
        return false;
    marginLeft = margin;
    height = size.height();
    zwlr_layer_surface_v1_set_size(layer, 0, static_cast<std::uint32_t>(height));
    zwlr_layer_surface_v1_set_margin(layer, 0, 0, 0, margin);
    zwlr_layer_surface_v1_set_exclusive_zone(layer, height);
    return true;
}

void WaylandStrip::Private::dropSurface()
{
    if (frame)
        wl_callback_destroy(frame);
    frame = nullptr;
    if (layer)
        zwlr_layer_surface_v1_destroy(layer);
    layer = nullptr;
    if (surface)
        wl_surface_destroy(surface);
    surface = nullptr;
    on = nullptr;
    configured = false;
    pointerIn = false;
    dropBuffers();
}

void WaylandStrip::Private::moveWidget()
{
    // The widget keeps the panel's place in layout coordinates, which are
    // Xwayland's screen coordinates: menus open under its items there.
    if (!strip || !on || size.isEmpty())
        return;
    const QRect area = on->area();
    const QRect place(area.right() - size.width() + 1, area.top(), size.width(), size.height());
    if (strip->geometry() != place)
        strip->setGeometry(place);
}

void WaylandStrip::Private::configure(std::uint32_t serial, std::uint32_t width, std::uint32_t height)
{
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    if (width > 0 && height > 0 && QSize(static_cast<int>(width), static_cast<int>(height)) != size) {
        // The compositor gave another size than asked: the panel shows
        // the strip's top right part of it, as X11 clips a window.
        std::cerr << "zintara: the compositor gave the strip " << width << "x" << height << " instead of "
                  << size.width() << "x" << size.height() << '\n';
    }
    configured = true;
    damage = QRegion(QRect(QPoint(0, 0), size));
    moveWidget();
    draw();
}

void WaylandStrip::Private::dropBuffers()
{
    for (Buffer& buffer : buffers) {
        wl_buffer_destroy(buffer.buffer);
        ::munmap(buffer.data, buffer.bytes);
    }
    buffers.clear();
}

Buffer* WaylandStrip::Private::freeBuffer(QSize pixelSize)
{
    if (!buffers.empty() && buffers.front().image.size() != pixelSize)
        dropBuffers();
    for (Buffer& buffer : buffers) {
        if (!buffer.busy)
            return &buffer;
    }
    if (static_cast<int>(buffers.size()) >= kMostBuffers)
        return nullptr; // drawn when one comes back
    const int stride = pixelSize.width() * 4;
    const std::size_t bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(pixelSize.height());
    const int fd = ::memfd_create("zintara-strip", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    void* data = MAP_FAILED;
    if (::ftruncate(fd, static_cast<off_t>(bytes)) == 0)
        data = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        ::close(fd);
        return nullptr;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<std::int32_t>(bytes));
    Buffer buffer;
    buffer.buffer = wl_shm_pool_create_buffer(pool, 0, pixelSize.width(), pixelSize.height(), stride,
                                              WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    ::close(fd);
    buffer.data = data;
    buffer.bytes = bytes;
    buffer.image = QImage(static_cast<uchar*>(data), pixelSize.width(), pixelSize.height(), stride,
                          QImage::Format_RGB32);
    // Everything of a new buffer is to be filled.
    buffer.stale = QRegion(QRect(QPoint(0, 0), pixelSize));
    buffers.push_back(std::move(buffer));
    static const wl_buffer_listener listener = {
        .release =
            [](void* data, wl_buffer* released) {
                auto* d = privateOf(data);
                for (Buffer& buffer : d->buffers) {
                    if (buffer.buffer == released)
                        buffer.busy = false;
                }
                if (!d->frame && !d->damage.isEmpty())
                    d->draw(); // it waited for a buffer
            },
    };
    wl_buffer_add_listener(buffers.back().buffer, &listener, this);
    return &buffers.back();
}

void WaylandStrip::Private::draw()
{
    // At most one commit a frame of the compositor's; what changes meanwhile
    // goes in the next one.
    if (!configured || frame || drawing || !strip || damage.isEmpty() || broken)
        return;
    const int scale = std::max(on ? on->scale : 1, 1);
    const QRect whole(QPoint(0, 0), size);
    if (pixels.size() != size * scale || bufferScale != scale) {
        pixels = QImage(size * scale, QImage::Format_RGB32);
        pixels.setDevicePixelRatio(scale);
        damage = QRegion(whole);
    }
    Buffer* buffer = freeBuffer(size * scale);
    if (!buffer)
        return;

    // The widgets draw themselves as Qt's paint pass draws them into the
    // X11 window's backing store: the strip's band, then its items.
    const QRegion area = damage.intersected(whole);
    damage = QRegion();
    drawing = true;
    for (const QRect& rect : area)
        strip->render(&pixels, rect.topLeft(), QRegion(rect), QWidget::DrawChildren);
    drawing = false;

    QRegion changed;
    for (const QRect& rect : area)
        changed += QRect(rect.topLeft() * scale, rect.size() * scale);
    for (Buffer& each : buffers)
        each.stale += changed;
    // Fill the chosen buffer where it is behind, from the drawn pixels.
    const int rowBytes = 4;
    for (const QRect& rect : buffer->stale.intersected(QRect(QPoint(0, 0), pixels.size()))) {
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            std::memcpy(buffer->image.scanLine(y) + rect.left() * rowBytes,
                        pixels.constScanLine(y) + rect.left() * rowBytes,
                        static_cast<std::size_t>(rect.width() * rowBytes));
        }
    }
    buffer->stale = QRegion();

    if (bufferScale != scale) {
        wl_surface_set_buffer_scale(surface, scale);
        bufferScale = scale;
    }
    wl_surface_attach(surface, buffer->buffer, 0, 0);
    for (const QRect& rect : changed)
        wl_surface_damage_buffer(surface, rect.x(), rect.y(), rect.width(), rect.height());
    frame = wl_surface_frame(surface);
    static const wl_callback_listener frameListener = {
        .done =
            [](void* data, wl_callback* callback, std::uint32_t) {
                auto* d = privateOf(data);
                wl_callback_destroy(callback);
                if (callback == d->frame) {
                    d->frame = nullptr;
                    d->draw();
                }
            },
    };
    wl_callback_add_listener(frame, &frameListener, this);
    wl_surface_commit(surface);
    buffer->busy = true;
    flush();
}

void WaylandStrip::Private::pointerMoved()
{
    if (!strip)
        return;
    // Delivered once the compositor's events are over: a handler may run a
    // nested event loop (a menu), which reads this connection again.
    QMetaObject::invokeMethod(
        strip.data(),
        [this] {
            QWidget* target = pointerIn && strip ? strip->childAt(pointerAt.toPoint()) : nullptr;
            if (!target && pointerIn)
                target = strip.data();
            if (hovered && hovered != target) {
                QEvent leave(QEvent::Leave);
                QCoreApplication::sendEvent(hovered.data(), &leave);
            }
            hovered = target;
            if (!target)
                return;
            const QPointF local = target->mapFrom(strip.data(), pointerAt);
            QMouseEvent move(QEvent::MouseMove, local, strip->geometry().topLeft() + pointerAt, Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(target, &move);
        },
        Qt::QueuedConnection);
}

void WaylandStrip::Private::pointerButton(std::uint32_t button, bool pressed)
{
    if (!pointerIn || !strip)
        return;
    Qt::MouseButton which = Qt::NoButton;
    switch (button) {
    case BTN_LEFT: which = Qt::LeftButton; break;
    case BTN_RIGHT: which = Qt::RightButton; break;
    case BTN_MIDDLE: which = Qt::MiddleButton; break;
    default: return;
    }
    const QPointF at = pointerAt;
    // As for motion: a click may open a menu, whose loop reads this
    // connection; it runs after the compositor's events.
    QMetaObject::invokeMethod(
        strip.data(),
        [this, which, pressed, at] {
            if (!strip)
                return;
            QWidget* target = strip->childAt(at.toPoint());
            if (!target)
                target = strip.data();
            const QPointF local = target->mapFrom(strip.data(), at);
            QMouseEvent event(pressed ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, local,
                              strip->geometry().topLeft() + at, which, pressed ? which : Qt::NoButton,
                              Qt::NoModifier);
            // Through the application, which passes an ignored click on
            // to the parent widgets as for a click on screen.
            QCoreApplication::sendEvent(target, &event);
        },
        Qt::QueuedConnection);
}

void WaylandStrip::Private::readEvents()
{
    if (broken)
        return;
    while (wl_display_prepare_read(display) != 0) {
        if (wl_display_dispatch_pending(display) < 0)
            return fail("reading", true);
    }
    // The socket is readable: this read does not wait.
    if (wl_display_read_events(display) < 0)
        return fail("reading", true);
    if (wl_display_dispatch_pending(display) < 0)
        return fail("reading", true);
    flush();
}

void WaylandStrip::Private::flush()
{
    if (broken)
        return;
    // Requests go out without waiting: a compositor that is slow to read
    // them gets the rest when the socket takes more.
    if (wl_display_flush(display) >= 0) {
        writable->setEnabled(false);
    } else if (errno == EAGAIN) {
        writable->setEnabled(true);
    } else {
        fail("writing");
    }
}

void WaylandStrip::Private::fail(const char* what, bool now)
{
    if (broken)
        return;
    broken = true;
    readable->setEnabled(false);
    writable->setEnabled(false);
    const int error = wl_display_get_error(display);
    std::cerr << "zintara: the connection to the Wayland compositor broke while " << what << " ("
              << std::strerror(error ? error : EPIPE) << "); quitting\n";
    std::cerr.flush();
    // As SIGTERM: the settings are written, then the program ends. At once
    // when nothing of the kit's is under way: Xwayland goes with the
    // compositor, and Qt ends the program without a word to anyone when it
    // finds its X connection gone first.
    if (now)
        Application::sharedApplication().terminate(nullptr);
    else
        QMetaObject::invokeMethod(qApp, [] { Application::sharedApplication().terminate(nullptr); },
                                  Qt::QueuedConnection);
}

void WaylandStrip::Private::disconnect()
{
    if (!display)
        return;
    delete readable;
    delete writable;
    readable = writable = nullptr;
    if (!broken) {
        dropSurface();
        for (auto& output : outputs) {
            if (output->xdg)
                zxdg_output_v1_destroy(output->xdg);
            wl_output_destroy(output->output);
        }
        if (pointer)
            wl_pointer_destroy(pointer);
        if (seat)
            wl_seat_destroy(seat);
        if (outputManager)
            zxdg_output_manager_v1_destroy(outputManager);
        if (layerShell)
            zwlr_layer_shell_v1_destroy(layerShell);
        if (shm)
            wl_shm_destroy(shm);
        if (compositor)
            wl_compositor_destroy(compositor);
        if (registry)
            wl_registry_destroy(registry);
    }
    outputs.clear();
    wl_display_disconnect(display);
    display = nullptr;
}

WaylandStrip::WaylandStrip()
    : d(std::make_unique<Private>())
{
}

WaylandStrip::~WaylandStrip() = default;

bool WaylandStrip::connect()
{
    d->display = wl_display_connect(nullptr);
    if (!d->display)
        return false;
    d->registry = wl_display_get_registry(d->display);
    wl_registry_add_listener(d->registry, &kRegistryListener, d.get());
    // The globals, then what the outputs say of themselves.
    if (wl_display_roundtrip(d->display) < 0 || !d->compositor || !d->shm || !d->layerShell
        || wl_display_roundtrip(d->display) < 0) {
        d->disconnect();
        return false;
    }
    const int fd = wl_display_get_fd(d->display);
    d->readable = new QSocketNotifier(fd, QSocketNotifier::Read);
    d->writable = new QSocketNotifier(fd, QSocketNotifier::Write);
    d->writable->setEnabled(false);
    Private* p = d.get();
    QObject::connect(d->readable, &QSocketNotifier::activated, [p] { p->readEvents(); });
    QObject::connect(d->writable, &QSocketNotifier::activated, [p] { p->flush(); });
    // Qt's screens are Xwayland's, named after the outputs: the primary one
    // chooses the panel's output.
    QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, d->readable, [p] { p->outputsChanged(); });
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, d->readable, [p] { p->outputsChanged(); });
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, d->readable, [p] { p->outputsChanged(); });
    return true;
}

WaylandStrip* WaylandStrip::instance()
{
    static WaylandStrip* panel = [] () -> WaylandStrip* {
        // Windows stay X11 windows (through Xwayland); only the strip goes
        // to the compositor itself.
        if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || QGuiApplication::platformName() != QLatin1String("xcb"))
            return nullptr;
        std::unique_ptr<WaylandStrip> made(new WaylandStrip);
        if (!made->connect())
            return nullptr;
        // Lives as long as the process: the strip may be drawn up to the end.
        return made.release();
    }();
    return panel;
}

WaylandStrip* WaylandStrip::showing(const QWidget* top)
{
    WaylandStrip* panel = instance();
    return panel && top && panel->d->strip.data() == top && !panel->d->size.isEmpty() ? panel : nullptr;
}

void WaylandStrip::show(QWidget* strip, QSize size)
{
    if (d->broken)
        return;
    if (strip != d->strip.data()) {
        d->strip = strip;
        // Never mapped on the X11 side, yet shown as far as its widgets know:
        // they draw and take clicks as on screen.
        strip->setAttribute(Qt::WA_DontShowOnScreen);
    }
    const bool resized = size != d->size;
    d->size = size;
    if (!size.isEmpty() && !strip->isVisible())
        strip->show();
    if (resized && d->layer) {
        if (size.isEmpty()) {
            d->dropSurface();
        } else {
            // A new size takes effect at the compositor's next configure.
            d->configured = false;
        }
    }
    d->place();
    d->moveWidget();
    d->damage += QRect(QPoint(0, 0), size);
    d->draw();
    d->flush();
}

void WaylandStrip::redraw(const QRect& area)
{
    d->damage += area;
    d->draw();
}

int WaylandStrip::scale() const
{
    return d->on ? std::max(d->on->scale, 1) : 1;
}

} // namespace kit
