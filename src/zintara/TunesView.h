#pragma once

#include "kit/Color.h"
#include "kit/Font.h"
#include "kit/Geometry.h"
#include "kit/Image.h"
#include "kit/Shadow.h"
#include "kit/TextAttributes.h"
#include "kit/View.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kit {
class Timer;
}

class Zintara;

// The marquee: scrolls the display line, with a play-position indicator.
// The line is laid out once per change into `img`; each frame tick only
// moves `offset`, and each redraw composites the image (TunesViewDrawing).
// The controller configures it through the operations and setters below.
class TunesView : public kit::View {
public:
    // Starts the frame timer at 30 ticks a second.
    explicit TunesView(kit::Rect frame);
    // Stops the frame timer: a discarded marquee never ticks again.
    ~TunesView() override;

    // The installed font of that name at `size` points, or the default font
    // when there is none; re-renders the line and keeps the scroll position.
    void setFont(const std::string& name, int size);
    // Restarts the frame timer at `framesPerSecond` (at least 2) ticks a
    // second, in the default, event-tracking and modal-panel modes.
    void setFPS(int framesPerSecond);
    // True puts the line at rest at its start (redrawn twice a second); the
    // view is redrawn once before the flag takes effect.
    void setScrollingDisabled(bool flag);
    // Takes a new line: ignored when equal to the current one, otherwise
    // rendered and started half a view-width left of the rest position.
    void setDisplayString(const std::string& line);
    // As above; `bypass` renders even an equal line and keeps `offset`.
    void setDisplayString(const std::string& line, bool bypass);
    // Renders the current line again with the current attributes.
    void needsTotalRefresh();
    // The attributes the line is measured and drawn with, built afresh.
    kit::TextAttributes textAtt() const;
    void QVDrawStr(const std::string& text, kit::Rect rect) const;
    // One frame tick.
    void timerFire(kit::Timer* timer);

    void mouseDown(const kit::Event& event) override;
    void mouseUp(const kit::Event& event) override;
    void drawRect(kit::Rect dirty) override;
    void viewDidDisplay() override;
    void viewDidResize() override;

    // Whether the frame timer sleeps: nothing a tick does could change what
    // is on screen. It wakes, having caught up on the ticks it skipped, as
    // soon as the loop finds the line, a setting, the play position or the
    // window's visibility changed.
    bool isAsleep() const { return m_sleepObserver != 0; }
    // Whether the frames of the coming ticks are queued with the display
    // server, which shows each in its time: the frame timer then sleeps, and
    // the marquee wakes about once a second to queue more, or at once when
    // a setter changes what they show (they are drawn again).
    bool isRunningAhead() const { return m_aheadObserver != 0; }

    // The marquee's state. Each setter tells the frames queued ahead what
    // it changed, so that they are drawn again only after a change.
    bool isDemoView() const { return m_isDemoView; }
    void setDemoView(bool demo) { setShown(m_isDemoView, demo); }
    bool isPaused() const { return m_isPaused; }
    void setPaused(bool paused) { setShown(m_isPaused, paused); }
    std::int8_t pieStyle() const { return m_pieStyle; } // 0 none, 1 pie, 2 progress bar
    void setPieStyle(std::int8_t style) { setShown(m_pieStyle, style); }
    float timePerc() const { return m_timePerc; }
    void setTimePerc(float fraction);
    float scrollSpeed() const { return m_scrollSpeed; } // points per tick
    void setScrollSpeed(float pointsPerTick) { setShown(m_scrollSpeed, pointsPerTick); }
    // Shadow, colour and vertical adjustment apply from the next rendering
    // of the line; the colour also paints the pie or bar at once.
    bool drawShadow() const { return m_drawShadow; }
    void setDrawShadow(bool flag) { m_drawShadow = flag; }
    bool drawNotes() const { return m_drawNotes; }
    void setDrawNotes(bool flag) { setShown(m_drawNotes, flag); }
    const kit::Color& fontColor() const { return m_fontColor; }
    void setFontColor(const kit::Color& color);
    std::int32_t vertAdjust() const { return m_vertAdjust; } // points, positive moves the text up
    void setVertAdjust(std::int32_t points) { m_vertAdjust = points; }
    bool scrollingDisabled() const { return m_scrollingDisabled; }
    const kit::Shadow& textDrawShadow() const { return m_textDrawShadow; }
    const std::optional<kit::Font>& oFont() const { return m_oFont; } // none: the default font
    Zintara* zintara() const { return m_zintara; }                   // not owned
    void setZintara(Zintara* controller) { m_zintara = controller; }
    bool highlighted() const { return m_highlighted; }
    void setHighlighted(bool flag) { setShown(m_highlighted, flag); }
    const std::string& displayStr() const { return m_displayStr; } // empty: no line
    float strWidth() const { return m_strWidth; }                  // width of `img`
    float offset() const { return m_offset; }                      // scroll position, 0 or negative
    // Moves the line to `position` (a scroll position, 0 or negative).
    void setOffset(float position);
    const std::shared_ptr<kit::Timer>& timer() const { return m_timer; }
    bool fadeEdges() const { return m_fadeEdges; }
    void setFadeEdges(bool flag) { setShown(m_fadeEdges, flag); }
    const std::unique_ptr<kit::Image>& img() const { return m_img; }
    std::int32_t fps() const { return m_fps; }
    std::int32_t frameCount() const { return m_frameCount; }
    bool displayStaticTag() const { return m_displayStaticTag; }
    void setDisplayStaticTag(bool flag) { setShown(m_displayStaticTag, flag); }

    // A line of the caller's own, in place of one rendered here: its text,
    // its image and that image's width, each taken as it is (the drawing is
    // tested on images of known pixels).
    void setDisplayStr(const std::string& line) { setShown(m_displayStr, line); }
    void setImg(std::unique_ptr<kit::Image> image);
    void setStrWidth(float width) { setShown(m_strWidth, width); }

    // Device pixels wide a line image may reach; a longer line is cut with an
    // ellipsis to stay within what the painting system can draw.
    static constexpr double kMaxLinePixels = 32000.0;

private:
    // Fields, in their declared order.
    bool m_isDemoView = false;
    bool m_isPaused = false;
    std::int8_t m_pieStyle = 0;
    float m_timePerc = 0.0f;
    float m_scrollSpeed = 0.0f;
    bool m_drawShadow = false;
    bool m_drawNotes = false;
    kit::Color m_fontColor;
    std::int32_t m_vertAdjust = 0;
    bool m_scrollingDisabled = false;
    kit::Shadow m_textDrawShadow;
    std::optional<kit::Font> m_oFont;
    Zintara* m_zintara = nullptr;
    bool m_highlighted = false;
    std::string m_displayStr;
    float m_strWidth = 0.0f;
    float m_offset = 0.0f;
    std::shared_ptr<kit::Timer> m_timer;
    bool m_fadeEdges = false;
    std::unique_ptr<kit::Image> m_img;
    std::int32_t m_fps = 0;
    std::int32_t m_frameCount = 0;
    bool m_displayStaticTag = false;

    // Everything `drawRect` reads on the path it would take, and nothing it
    // would not read: two equal states paint the same pixels.
    struct PaintState {
        bool highlighted = false;
        bool staticTag = false;
        bool line = false;
        bool demo = false;
        unsigned long long image = 0;
        std::int8_t pieStyle = 0;
        kit::Color fontColor;
        float timePerc = 0.0f;
        double width = 0.0;
        double height = 0.0;
        float strWidth = 0.0f;
        bool drawNotes = false;
        bool stands = false;
        bool fadeEdges = false;
        bool scrollingDisabled = false;
        double wholeOffset = 0.0;
        friend bool operator==(const PaintState&, const PaintState&) = default;
    };
    // Where the line goes: the text area, the view's width short of the
    // pie's or the bar's room, and whether the line fits it and stands.
    struct LineLayout {
        double textWidth = 0.0;
        bool stands = false;
    };
    LineLayout lineLayout() const;

    PaintState paintState() const { return paintState(m_offset); }
    PaintState paintState(float atOffset) const;
    // The screen does not show what the state would paint.
    bool screenIsBehind(float atOffset) const;

    // What a change touched, as far as the frames queued ahead go.
    enum class Change {
        Frames,   // what the coming frames show, or how fast they come
        Position, // the scroll position, set from outside the ticks
    };
    void changed(Change what);
    // Sets a field the frames show, and tells them when it changed.
    template <typename T> void setShown(T& field, const T& value)
    {
        if (field == value)
            return;
        field = value;
        changed(Change::Frames);
    }
    // The pie or the bar shows the play position.
    bool showsPosition() const;
    // Where the frames drawn ahead differ from one another: the text area,
    // the line's width short of the pie or bar.
    kit::Rect scrollingPart() const;

    void renderLine();
    // The tick's work on the model; true when it asks for a redraw.
    bool advance();
    // Ticks would change nothing at all.
    bool ticksAreInert() const;
    bool maySleep() const;
    void sleepIfIdle();
    void wake();
    void catchUp();
    // Also takes the ticks due up to `date`, which may lie ahead.
    void catchUpThrough(double date);
    void armRefreshAlarm();

    // Running ahead (TunesViewAhead).
    int leadTicks() const;
    bool mayRunAhead();
    void runAhead();
    bool queueAhead();
    void aheadPass();
    void takeTicksShownAhead();
    void armAheadAlarm();
    // Back to a tick a frame; frames queued and not yet shown are dropped,
    // and the present frame is drawn unless `redraw` is false.
    void stopRunningAhead(bool redraw = true);
    // The queue took not all the frames: back to a tick a frame until
    // something changes.
    void refuseAhead();

    // Counts line images, so a new one is told from the last even at the
    // same address.
    unsigned long long m_imageSerial = 0;
    std::optional<PaintState> m_shown; // what the screen holds
    int m_sleepObserver = 0;
    // With scrolling disabled only refresh ticks draw: asleep, this wakes
    // the marquee for the next one when the screen is behind.
    std::shared_ptr<kit::Timer> m_refreshAlarm;

    int m_aheadObserver = 0;
    // Wakes the marquee when the queued frames run low.
    std::shared_ptr<kit::Timer> m_aheadAlarm;
    // The date of the last tick whose frame is queued.
    double m_queuedThrough = 0.0;
    // Frames are queued ahead.
    bool m_aheadQueued = false;
    // Since the queued frames were drawn, what they show changed, or the
    // scroll position was set from outside.
    bool m_aheadChanged = false;
    bool m_aheadMoved = false;
    // The queue took not all the frames, and nothing changed since.
    bool m_aheadRefused = false;
};
