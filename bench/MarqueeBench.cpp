// The marquee's hot paths: one frame (a tick plus a full redraw of a
// scrolling line with fade edges) and accepting a new line (measuring and
// pre-rendering it). Run on an offscreen Qt platform.
#include "kit/Bundle.h"
#include "kit/Graphics.h"
#include "kit/Image.h"
#include "zintara/TunesView.h"

#include <QApplication>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

const kit::Rect kFrame(0, 0, 120, 26);
const char* kLine = "Bohemian Rhapsody - Queen - A Night at the Opera - 11 of 12";
const char* kOtherLine = "Paranoid Android - Radiohead - OK Computer - 2 of 12";

class ScaledTunesView : public TunesView {
public:
    ScaledTunesView(kit::Rect frame, double scale)
        : TunesView(frame)
        , m_scale(scale)
    {
    }
    double backingScaleFactor() const override { return m_scale; }

private:
    double m_scale;
};

// One tick and one full drawRect into a locked 120 by 26 destination, as the
// window's backing store would receive it.
void BM_Frame(benchmark::State& state)
{
    const double scale = static_cast<double>(state.range(0));
    ScaledTunesView view(kFrame, scale);
    view.setDisplayString(kLine);
    kit::Image target(kFrame.size, scale);
    target.lockFocus();
    for (auto _ : state) {
        view.timerFire(nullptr);
        kit::Color::clearColor().set();
        kit::NSRectFill(kFrame);
        view.drawRect(kFrame);
    }
    target.unlockFocus();
    state.SetLabel(std::to_string(static_cast<int>(scale)) + "x, line " + std::to_string(view.strWidth()) + " pt");
}
BENCHMARK(BM_Frame)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The same through Qt: a tick and an immediate repaint of the shown widget
// (backing store, paint event, drawRect).
void BM_FrameThroughWidget(benchmark::State& state)
{
    TunesView view(kFrame);
    view.setDisplayString(kLine);
    view.widget()->show();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    for (auto _ : state) {
        view.timerFire(nullptr);
        view.display();
    }
}
BENCHMARK(BM_FrameThroughWidget)->Unit(benchmark::kMicrosecond);

// Accepting a new line: measure, make the line image, draw notes and text
// with its shadow.
void BM_AcceptNewLine(benchmark::State& state)
{
    ScaledTunesView view(kFrame, static_cast<double>(state.range(0)));
    bool flip = false;
    for (auto _ : state) {
        view.setDisplayString(flip ? kLine : kOtherLine);
        flip = !flip;
    }
}
BENCHMARK(BM_AcceptNewLine)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// Accepting a line whose title is one letter under thousands of combining
// marks (U+0301), as a peer can send: the layout keeps a handful of them.
void BM_AcceptMarkedLine(benchmark::State& state)
{
    TunesView view(kFrame);
    std::string marks;
    for (int i = 0; i < state.range(0); ++i)
        marks += "\xcc\x81";
    const std::string lines[2] = {"e" + marks + " - Queen", "a" + marks + " - Radiohead"};
    bool flip = false;
    for (auto _ : state) {
        view.setDisplayString(lines[flip]);
        flip = !flip;
    }
}
BENCHMARK(BM_AcceptMarkedLine)->Arg(4000)->Unit(benchmark::kMillisecond);

// What every poll pays when the line has not changed.
void BM_SameLine(benchmark::State& state)
{
    TunesView view(kFrame);
    view.setDisplayString(kLine);
    const std::string same(kLine);
    for (auto _ : state)
        view.setDisplayString(same);
}
BENCHMARK(BM_SameLine);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    kit::Bundle::setMainBundlePath(ZINTARA_BUNDLE_DIR);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
