// Feeds arbitrary bytes to the script compiler as a source and runs what
// compiles against the built-in player (behind System Events, as the
// program sets them up). Nothing may crash, hang or leak, and every error
// must reach the caller with a number and a message, compile errors also
// with their place.
#include "kit/Clock.h"
#include "players/PlayerFactory.h"
#include "script/Script.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void require(bool ok, const char* what, const script::Error& e)
{
    if (ok)
        return;
    std::fprintf(stderr, "%s: %d \"%s\" at %d:%d\n", what, e.number, e.message.c_str(), e.line, e.column);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The player's position moves with the clock; a still clock keeps runs
    // reproducible.
    static kit::ManualClock clock;
    static kit::ScopedClock installed(clock);

    players::PlayerOptions options;
    options.shuffleSeed = 7;
    auto made = players::PlayerFactory::make(options);
    if (made.index() != 0)
        std::abort();
    auto& apps = *std::get<0>(made);
    apps.player()->launch(); // queries then reach the player instead of stopping at the guard

    script::Script s(std::string(reinterpret_cast<const char*>(data), size), apps);
    if (auto e = s.compile()) {
        require(e->number != 0 && !e->message.empty() && e->line >= 1 && e->column >= 1, "compile error", *e);
        require(!s.isCompiled() && s.compile().has_value(), "compile is not repeatable", *e);
        return 0;
    }
    for (int run = 0; run < 2; ++run) {
        auto r = s.execute();
        if (r) {
            (void)r.value().typeCode();
            (void)r.value().stringValue();
        } else {
            require(r.error().number != 0 && !r.error().message.empty() && r.error().line == 0, "run error",
                    r.error());
        }
    }
    return 0;
}
