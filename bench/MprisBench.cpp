// One full poll against mpv over MPRIS (the eleven scripts a poll runs,
// compiled once, executed and read as text as the controller does), next
// to what the same information costs through playerctl, the usual
// command-line route. mpv, with Debian's MPRIS plugin, plays the test audio
// with a null output on a private session bus that this program starts
// and stops. Then polls against the tests' own player where it is slow or
// has a long track list, honest or not.

#include "CommandOutput.h"
#include "PollTable.h"

#include "kit/Clock.h"
#include "players/PlayerDirectory.h"
#include "players/PlayerFactory.h"
#include "players/mpris/MprisPlayer.h"
#include "players/mpris/MprisWorld.h"
#include "zintara/ScriptTable.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>

#include <benchmark/benchmark.h>


#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using bench::kPoll;

mpris_testing::MprisWorld* g_world = nullptr;

struct PollWorld {
    players::PlayerDirectory apps;
    players::MprisPlayer* player = nullptr;
    std::optional<bench::PollTable> table;

    PollWorld()
    {
        auto owned = std::make_unique<players::MprisPlayer>("iTunes", g_world->mpvBusName());
        player = owned.get();
        apps.setPlayer(std::move(owned));
        table.emplace(apps);
    }

    std::optional<std::string> run(int slot) { return table->run(slot); }
};

void MprisFullPoll(benchmark::State& state)
{
    PollWorld world;
    world.player->beginPoll();
    for (int slot : kPoll)
        world.run(slot); // fills the cache
    const std::uint64_t before = world.player->busCalls();
    // mpv has no TrackList, so the four next-track slots fail every poll;
    // the other seven must answer.
    long unanswered = 0;
    for (auto _ : state) {
        world.player->beginPoll();
        for (int slot : kPoll) {
            auto text = world.run(slot);
            unanswered += !text;
            benchmark::DoNotOptimize(text);
        }
    }
    state.counters["unanswered_per_poll"] = benchmark::Counter(double(unanswered) / double(state.iterations()));
    state.counters["bus_calls_per_poll"] =
        benchmark::Counter(double(world.player->busCalls() - before) / double(state.iterations()));
}
BENCHMARK(MprisFullPoll)->UseRealTime();

// The same poll when the position is due to be read again (as it is every
// few seconds, and after every change of track or state): one call more.
void MprisFullPollReadingPosition(benchmark::State& state)
{
    kit::ManualClock clock;
    kit::ScopedClock scoped(clock);
    PollWorld world;
    world.player->beginPoll();
    for (int slot : kPoll)
        world.run(slot);
    const std::uint64_t before = world.player->busCalls();
    for (auto _ : state) {
        clock.advance(10.0);
        world.player->beginPoll();
        for (int slot : kPoll)
            benchmark::DoNotOptimize(world.run(slot));
    }
    state.counters["bus_calls_per_poll"] =
        benchmark::Counter(double(world.player->busCalls() - before) / double(state.iterations()));
}
BENCHMARK(MprisFullPollReadingPosition)->UseRealTime();

// The same poll with the automatic choice, which looks at the bus's players
// at the start of every poll and follows mpv, the one playing.
void AutoFullPollFollowingMpv(benchmark::State& state)
{
    players::PlayerOptions options; // "auto"
    options.player = "auto";
    auto made = players::PlayerFactory::make(options);
    auto& apps = *std::get<std::unique_ptr<players::PlayerDirectory>>(made);
    std::vector<script::Script> table;
    for (const char* source : zintara::kScriptSources) {
        table.emplace_back(source, apps);
        table.back().compile();
    }
    apps.player()->beginPoll();
    if (apps.player()->displayName() != "mpv") {
        state.SkipWithError("the automatic choice did not follow mpv");
        return;
    }
    long unanswered = 0;
    for (auto _ : state) {
        apps.player()->beginPoll();
        for (int slot : kPoll) {
            auto r = table[std::size_t(slot)].execute();
            unanswered += !r.ok();
            benchmark::DoNotOptimize(r);
        }
    }
    state.counters["unanswered_per_poll"] = benchmark::Counter(double(unanswered) / double(state.iterations()));
}
BENCHMARK(AutoFullPollFollowingMpv)->UseRealTime();

// The one call a poll may add: reading Position from mpv.
void MprisPositionCall(benchmark::State& state)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusMessage get = QDBusMessage::createMethodCall(QString::fromStdString(g_world->mpvBusName()),
        "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties", "Get");
    get << QString("org.mpris.MediaPlayer2.Player") << QString("Position");
    for (auto _ : state) {
        QDBusMessage reply = bus.call(get, QDBus::Block, 1000);
        if (reply.type() != QDBusMessage::ReplyMessage)
            state.SkipWithError("mpv did not answer");
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(MprisPositionCall)->UseRealTime();

#ifdef MPRIS_TEST_SERVICE
// A full poll against the tests' own player started with `options`, each
// after `between` (outside the timing), on the poll's usual budget.
void ServicePoll(benchmark::State& state, std::vector<std::string> options, const std::function<void(const std::string&)>& between)
{
    const std::string name = "zintarabench" + std::to_string(state.range(0));
    const std::string busName = "org.mpris.MediaPlayer2." + name;
    std::vector<std::string> argv = {MPRIS_TEST_SERVICE, "--name", name};
    argv.insert(argv.end(), options.begin(), options.end());
    mpris_testing::ChildProcess service;
    if (!service.start(argv) || !mpris_testing::waitForBusName(busName, true)) {
        state.SkipWithError("the test player did not start");
        return;
    }
    players::PlayerDirectory apps;
    auto owned = std::make_unique<players::MprisPlayer>("iTunes", busName);
    players::MprisPlayer* player = owned.get();
    apps.setPlayer(std::move(owned));
    bench::PollTable table(apps);
    long unanswered = 0;
    const std::uint64_t before = player->busCalls();
    for (auto _ : state) {
        state.PauseTiming();
        between(busName);
        state.ResumeTiming();
        player->beginPoll();
        for (int slot : kPoll)
            unanswered += !table.run(slot);
    }
    state.counters["unanswered_per_poll"] = benchmark::Counter(double(unanswered) / double(state.iterations()));
    state.counters["bus_calls_per_poll"] =
        benchmark::Counter(double(player->busCalls() - before) / double(state.iterations()));
}

void replaceList(const std::string& busName)
{
    QDBusMessage replace = QDBusMessage::createMethodCall(
        QString::fromStdString(busName), "/org/mpris/MediaPlayer2", "org.zintara.Test", "ReplaceList");
    QDBusConnection::sessionBus().call(replace, QDBus::Block, 2000);
    // Its signal reaches the player before the poll, as between two polls.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

// 4,000 tracks, the list replaced before every poll.
void MprisPollLongListChanging(benchmark::State& state)
{
    ServicePoll(state, {"--tracks", "4000"}, replaceList);
}
BENCHMARK(MprisPollLongListChanging)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same, from a player that describes every track under an id it never
// listed.
void MprisPollLongListForeignIds(benchmark::State& state)
{
    ServicePoll(state, {"--tracks", "4000", "--foreign-ids"}, replaceList);
}
BENCHMARK(MprisPollLongListForeignIds)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// A player that answers every call 100 ms late and invalidates its
// Metadata after every answer.
void MprisPollSlowInvalidating(benchmark::State& state)
{
    ServicePoll(state, {"--slow", "100", "--invalidate"}, [](const std::string&) {});
}
BENCHMARK(MprisPollSlowInvalidating)->Arg(3)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The automatic choice following mpv while a player that never answers
// takes its name anew, under another unique name, every 300 ms.
void AutoPollBesideAHungPlayerTakingItsNameAnew(benchmark::State& state)
{
    mpris_testing::ChildProcess hung;
    if (!hung.start({MPRIS_TEST_SERVICE, "--name", "zintarabenchhung", "--hang", "--churn", "300"})
        || !mpris_testing::waitForBusName("org.mpris.MediaPlayer2.zintarabenchhung", true)) {
        state.SkipWithError("the test player did not start");
        return;
    }
    players::PlayerOptions options;
    options.player = "auto";
    auto made = players::PlayerFactory::make(options);
    auto& apps = *std::get<std::unique_ptr<players::PlayerDirectory>>(made);
    bench::PollTable table(apps);
    for (auto _ : state) {
        // A new owner between every two polls, as with polls 2 s apart.
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::milliseconds(350));
        state.ResumeTiming();
        apps.player()->beginPoll();
        for (int slot : kPoll)
            benchmark::DoNotOptimize(table.run(slot));
    }
    if (apps.player()->displayName() != "mpv")
        state.SkipWithError("the automatic choice did not follow mpv");
}
BENCHMARK(AutoPollBesideAHungPlayerTakingItsNameAnew)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(10);
#endif

// Runs playerctl with the arguments and returns its output.
std::string playerctl(const std::vector<std::string>& args)
{
    std::vector<std::string> all = {"playerctl", "--player=mpv"};
    all.insert(all.end(), args.begin(), args.end());
    return bench::commandOutput(std::move(all));
}

// What a poll learns, through playerctl: one run for the track, state and
// position, one each for shuffle and repeat (its format has neither).
void PlayerctlPoll(benchmark::State& state)
{
    for (auto _ : state) {
        std::string track = playerctl({"metadata", "--format",
            "{{status}}\t{{position}}\t{{title}}\t{{artist}}\t{{album}}\t{{xesam:trackNumber}}\t{{mpris:length}}\t{{xesam:userRating}}"});
        std::string shuffle = playerctl({"shuffle"});
        std::string loop = playerctl({"loop"});
        if (track.empty() || shuffle.empty() || loop.empty())
            state.SkipWithError("playerctl gave no answer");
        benchmark::DoNotOptimize(track);
        benchmark::DoNotOptimize(shuffle);
        benchmark::DoNotOptimize(loop);
    }
}
BENCHMARK(PlayerctlPoll)->UseRealTime()->Unit(benchmark::kMillisecond);

// The cheapest command-line route, leaving shuffle and repeat out.
void PlayerctlTrackOnly(benchmark::State& state)
{
    for (auto _ : state) {
        std::string track = playerctl({"metadata", "--format",
            "{{status}}\t{{position}}\t{{title}}\t{{artist}}\t{{album}}\t{{xesam:trackNumber}}\t{{mpris:length}}"});
        if (track.empty())
            state.SkipWithError("playerctl gave no answer");
        benchmark::DoNotOptimize(track);
    }
}
BENCHMARK(PlayerctlTrackOnly)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    mpris_testing::MprisWorld world;
    if (auto problem = world.startBus("")) {
        std::fprintf(stderr, "bench_mpris: %s\n", problem->c_str());
        return 1;
    }
    QCoreApplication app(argc, argv);
    if (auto problem = world.startMpv()) {
        std::fprintf(stderr, "bench_mpris: %s\n", problem->c_str());
        return 1;
    }
    g_world = &world;
    // Measure once mpv plays steadily.
    for (int i = 0; i < 100 && playerctl({"status"}) != "Playing\n"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    world.stop();
    return 0;
}
