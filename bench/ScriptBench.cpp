// The script engine's hot paths: compiling the twenty table sources (done
// once at launch), compiling a rating script (once per menu choice), and
// the engine's own share of a full poll, run against a minimal in-memory
// player so the built-in player's cost is left out.

#include "FakeApplications.h"
#include "players/PlayerFactory.h"
#include "script/Script.h"
#include "zintara/ScriptTable.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

std::unique_ptr<players::PlayerDirectory> builtinApplications()
{
    auto made = players::PlayerFactory::make(players::PlayerOptions{});
    return std::move(std::get<0>(made));
}

void CompileTable(benchmark::State& state)
{
    auto apps = builtinApplications();
    for (auto _ : state) {
        std::vector<script::Script> table;
        table.reserve(zintara::kScriptSlotCount);
        for (const char* source : zintara::kScriptSources) {
            table.emplace_back(source, *apps);
            if (table.back().compile())
                state.SkipWithError("a table source failed to compile");
        }
        benchmark::DoNotOptimize(table.data());
    }
    state.SetItemsProcessed(state.iterations() * zintara::kScriptSlotCount);
}
BENCHMARK(CompileTable);

void CompileAndRunRatingScript(benchmark::State& state)
{
    fake::World world;
    for (auto _ : state) {
        script::Script s(zintara::kRatingSources[4], world.apps);
        benchmark::DoNotOptimize(s.execute());
    }
}
BENCHMARK(CompileAndRunRatingScript);

// Slots 19, 10, 4, 1, 2, 3, 8, 5, 6, 7, 9: one poll with every field on.
void FullPollEngineOnly(benchmark::State& state)
{
    fake::World world;
    std::vector<script::Script> table;
    for (const char* source : zintara::kScriptSources) {
        table.emplace_back(source, world.apps);
        table.back().compile();
    }
    const int poll[] = {19, 10, 4, 1, 2, 3, 8, 5, 6, 7, 9};
    for (auto _ : state) {
        for (int slot : poll) {
            auto r = table[slot].execute();
            if (!r)
                state.SkipWithError("a poll script failed");
            benchmark::DoNotOptimize(r.value().stringValue());
        }
    }
    state.SetItemsProcessed(state.iterations() * std::size(poll));
}
BENCHMARK(FullPollEngineOnly);

} // namespace

BENCHMARK_MAIN();
