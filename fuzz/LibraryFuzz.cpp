// The built-in player's library-file reader on arbitrary bytes: it must
// answer with a library or a placed error, never crash, hang or read out of
// bounds, and what it accepts must be a consistent player state.

#include "players/LibraryReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto result = players::LibraryReader::read(text, "fuzz.json");

    if (auto* error = std::get_if<players::LibraryError>(&result)) {
        std::size_t lines = 1;
        for (char c : text)
            lines += c == '\n';
        if (error->line < 1 || std::size_t(error->line) > lines || error->column < 1
            || std::size_t(error->column) > size + 1 || error->message.empty())
            std::abort();
        return 0;
    }

    const players::Library& lib = std::get<players::Library>(result);
    const bool stopped = lib.playerState == players::PlayerState::Stopped;
    if (lib.currentTrack > lib.tracks.size() || stopped != (lib.currentTrack == 0) || lib.playerPosition < 0
        || (stopped && lib.playerPosition != 0))
        std::abort();
    if (!stopped) {
        const double duration = lib.tracks[lib.currentTrack - 1].duration;
        if (duration > 0 && lib.playerPosition > duration)
            std::abort();
    }
    for (const players::Track& t : lib.tracks) {
        if (t.rating < 0 || t.rating > 100 || t.duration < 0 || t.trackNumber < 0 || t.trackCount < 0)
            std::abort();
    }
    return 0;
}
