// One full poll against the built-in player: the eleven scripts a poll runs
// with every track field switched on (slots 19, 10, 4, 1, 2, 3, 8, 5, 6, 7,
// 9), compiled once, executed and read as text as the controller does.

#include "PollTable.h"

#include "players/PlayerFactory.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using bench::kPoll;

struct PollWorld {
    std::unique_ptr<players::PlayerDirectory> apps;
    std::optional<bench::PollTable> table;

    PollWorld()
    {
        players::PlayerOptions options;
        options.shuffleSeed = 1;
        apps = std::move(std::get<0>(players::PlayerFactory::make(options)));
        apps->player()->launch(); // the demo playlist, playing its first track
        table.emplace(*apps);
    }

    std::optional<std::string> run(int slot) { return table->run(slot); }
};

void FullPoll(benchmark::State& state)
{
    PollWorld world;
    for (auto _ : state) {
        for (int slot : kPoll) {
            auto text = world.run(slot);
            if (!text)
                state.SkipWithError("a poll script gave no result");
            benchmark::DoNotOptimize(text);
        }
    }
    state.SetItemsProcessed(state.iterations() * std::size(kPoll));
}
BENCHMARK(FullPoll);

// The same poll on the last track, where the four next-track slots fail
// with an error instead of answering.
void FullPollOnLastTrack(benchmark::State& state)
{
    PollWorld world;
    world.apps->player()->command("previous track", std::nullopt); // wraps: the demo repeats all
    for (auto _ : state) {
        for (int slot : kPoll)
            benchmark::DoNotOptimize(world.run(slot));
    }
    state.SetItemsProcessed(state.iterations() * std::size(kPoll));
}
BENCHMARK(FullPollOnLastTrack);

// One slot at a time, to see where a poll's time goes.
void PollSlot(benchmark::State& state)
{
    PollWorld world;
    const int slot = int(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(world.run(slot));
}
BENCHMARK(PollSlot)->Arg(19)->Arg(10)->Arg(4)->Arg(1)->Arg(8)->Arg(5)->Arg(9);

} // namespace

BENCHMARK_MAIN();
