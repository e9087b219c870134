// One full poll against a real MPD server (the eleven scripts a poll runs,
// compiled once, executed and read as text as the controller does), next
// to what the same information costs through mpc, the usual command-line
// route: its status, the current and the queued song, and the rating
// sticker. The server is a private one on 127.0.0.1, playing the test
// audio with a null output.

#include "CommandOutput.h"
#include "PollTable.h"

#include "players/PlayerDirectory.h"
#include "players/mpd/MpdPlayer.h"
#include "support/MpdServer.h"

#include <mpd/client.h>

#include <benchmark/benchmark.h>


#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using bench::kPoll;

struct Server {
    testing_support::MpdServer mpd;
    std::string folder;
    std::string error;
    bool ok = false;

    Server()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zintara-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            return;
        folder = pattern;
        ok = mpd.start(folder, &error);
        if (!ok)
            return;
        // Playing the second song, a rating on it, the queue repeating so
        // the run never reaches its end.
        mpd_connection* c = mpd.control();
        mpd_run_repeat(c, true);
        mpd_run_play_pos(c, 1);
        mpd_run_sticker_set(c, "song", mpd.tracks()[1].fileName.c_str(), "rating", "6");
        // A server that has just started a song can be slow to answer for a
        // moment; measure it once it plays steadily.
        for (int i = 0; i < 100; ++i) {
            mpd_status* st = mpd_run_status(c);
            const unsigned elapsed = st ? mpd_status_get_elapsed_ms(st) : 0;
            if (st)
                mpd_status_free(st);
            if (elapsed >= 1000)
                break;
            usleep(50000);
        }
    }
    ~Server()
    {
        mpd.stop();
        std::error_code ec;
        if (!folder.empty())
            std::filesystem::remove_all(folder, ec);
    }
};

Server& server()
{
    static Server s;
    return s;
}

struct PollWorld {
    players::PlayerDirectory apps;
    players::MpdPlayer* player = nullptr;
    std::optional<bench::PollTable> table;

    PollWorld()
    {
        auto owned = std::make_unique<players::MpdPlayer>(
            "iTunes", players::MpdAddress::parse(server().mpd.address()).value());
        player = owned.get();
        apps.setPlayer(std::move(owned));
        table.emplace(apps);
    }

    std::optional<std::string> run(int slot) { return table->run(slot); }
};

void MpdFullPoll(benchmark::State& state)
{
    if (!server().ok) {
        state.SkipWithError(server().error.c_str());
        return;
    }
    PollWorld world;
    world.player->beginPoll();
    for (int slot : kPoll)
        world.run(slot); // connects and learns what a poll asks
    const long before = world.player->roundTrips();
    // A poll in which the server did not answer in time shows as not
    // running; on a loaded machine that happens, and is counted.
    long unanswered = 0;
    for (auto _ : state) {
        world.player->beginPoll();
        for (int slot : kPoll) {
            auto text = world.run(slot);
            unanswered += !text;
            benchmark::DoNotOptimize(text);
        }
    }
    state.counters["unanswered_scripts"] = benchmark::Counter(double(unanswered));
    state.counters["round_trips_per_poll"] =
        benchmark::Counter(double(world.player->roundTrips() - before) / double(state.iterations()));
}
BENCHMARK(MpdFullPoll)->UseRealTime();

// Runs mpc with the arguments and returns its output.
std::string mpc(const std::vector<std::string>& args)
{
    std::vector<std::string> all = {"mpc", "-h", "127.0.0.1", "-p", std::to_string(server().mpd.port())};
    all.insert(all.end(), args.begin(), args.end());
    return bench::commandOutput(std::move(all));
}

// The same information through mpc: status (state, modes, position), the
// current song's fields, the next queue entry's fields, the rating.
void MpcFullPoll(benchmark::State& state)
{
    if (!server().ok) {
        state.SkipWithError(server().error.c_str());
        return;
    }
    const std::string song = "%title%\t%artist%\t%album%\t%track%\t%time%\t%position%\t%file%";
    for (auto _ : state) {
        const std::string status = mpc({"status"});
        const std::string current = mpc({"-f", song, "current"});
        const std::string next = mpc({"-f", song, "queued"});
        const std::string file = current.substr(current.rfind('\t') + 1, current.size() - current.rfind('\t') - 2);
        const std::string rating = mpc({"sticker", file, "get", "rating"});
        if (current.empty() || next.empty() || rating.empty())
            state.SkipWithError("mpc gave no answer");
        benchmark::DoNotOptimize(status);
    }
    state.counters["processes_per_poll"] = 4;
}
BENCHMARK(MpcFullPoll)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
