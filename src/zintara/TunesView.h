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
// The controller configures it through the operations below and by writing
// the public fields directly.
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

    // Whether the frame timer sleeps: nothing a tick does could change what
    // is on screen. It wakes, having caught up on the ticks it skipped, as
    // soon as the loop finds the line, a setting, the play position or the
    // window's visibility changed.
    bool isAsleep() const { return m_sleepObserver != 0; }
    // Whether the frames of the coming ticks are queued with the display
    // server, which shows each in its time: the frame timer then sleeps, and
    // the marquee wakes about once a second to queue more, or at once when
    // a change makes the queued frames wrong (they are drawn again).
    bool isRunningAhead() const { return m_aheadObserver != 0; }

    // Fields, in their declared order.
    bool isDemoView = false;
    bool isPaused = false;
    std::int8_t pieStyle = 0; // 0 none, 1 pie, 2 progress bar
    float timePerc = 0.0f;
    float scrollSpeed = 0.0f; // points per tick
    bool drawShadow = false;
    bool drawNotes = false;
    kit::Color fontColor;
    std::int32_t vertAdjust = 0; // points, positive moves the text up
    bool scrollingDisabled = false;
    kit::Shadow textDrawShadow;
    std::optional<kit::Font> oFont; // none: the default font
    Zintara* zintara = nullptr;     // not owned
    bool highlighted = false;
    std::string displayStr;         // empty: no line
    float strWidth = 0.0f;          // width of `img`
    float offset = 0.0f;            // scroll position, 0 or negative
    std::shared_ptr<kit::Timer> timer;
    bool fadeEdges = false;
    std::unique_ptr<kit::Image> img;
    std::int32_t fps = 0;
    std::int32_t frameCount = 0;
    bool displayStaticTag = false;

    // Device pixels wide a line image may reach; a longer line is cut with an
    // ellipsis to stay within what the painting system can draw.
    static constexpr double kMaxLinePixels = 32000.0;

private:
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

    PaintState paintState() const { return paintState(offset); }
    PaintState paintState(float atOffset) const;
    // The screen does not show what the state would paint.
    bool screenIsBehind(float atOffset) const;

    // What the coming frames depend on besides the ticks: two equal courses
    // draw the same frames from the same scroll position.
    struct Course {
        PaintState paint; // at the rest position
        float scrollSpeed = 0.0f;
        double interval = 0.0;
        bool inert = false;
        bool scrollingDisabled = false;
        friend bool operator==(const Course&, const Course&) = default;
    };
    Course course() const;
    // Where frames of one course differ: the text area, the line's width
    // short of the pie or bar.
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
    // The date of the last tick whose frame is queued, and the course and
    // scroll position the queued frames were drawn from.
    double m_queuedThrough = 0.0;
    std::optional<Course> m_queuedCourse;
    std::optional<Course> m_aheadRefused;
    float m_aheadOffset = 0.0f;
    std::int32_t m_aheadFrameCount = 0;
    // The scroll position was set from outside since the frames were drawn.
    bool m_aheadMoved = false;
};
