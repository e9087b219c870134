#include "players/mpd/MpdSong.h"

#include <mpd/pair.h>
#include <mpd/song.h>

#include <charconv>
#include <memory>
#include <set>

namespace players {

namespace {

std::string tag(const mpd_song* song, mpd_tag_type type)
{
    const char* value = mpd_song_get_tag(song, type, 0);
    return value ? value : "";
}

int leadingNumber(const std::string& text, std::size_t from, std::size_t to)
{
    int value = 0;
    const char* begin = text.data() + from;
    const char* end = text.data() + to;
    while (begin < end && *begin == ' ')
        ++begin;
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && value > 0 ? value : 0;
}

MpdSong fromLibrary(const mpd_song* song)
{
    MpdSong s;
    s.uri = mpd_song_get_uri(song);
    s.title = tag(song, MPD_TAG_TITLE);
    s.artist = tag(song, MPD_TAG_ARTIST);
    s.album = tag(song, MPD_TAG_ALBUM);
    s.track = tag(song, MPD_TAG_TRACK);
    s.duration = mpd_song_get_duration_ms(song) / 1000.0;
    s.position = mpd_song_get_pos(song);
    return s;
}

// The lines a song is read from; others, and a name's repeats, are not
// handed to the library, which walks a song's whole tag list to add one.
bool wanted(const std::string& name)
{
    static const std::set<std::string> names{"Title", "Artist", "Album", "Track", "Time", "duration", "Pos", "Id"};
    return names.count(name) != 0;
}

} // namespace

std::vector<MpdSong> MpdSong::list(const std::vector<MpdPair>& lines, std::size_t most)
{
    std::vector<MpdSong> songs;
    using Song = std::unique_ptr<mpd_song, decltype(&mpd_song_free)>;
    Song song(nullptr, mpd_song_free);
    std::set<std::string> given;
    for (const MpdPair& line : lines) {
        if (line.name == "file") {
            if (song)
                songs.push_back(fromLibrary(song.get()));
            if (songs.size() >= most)
                return songs;
            const mpd_pair pair{line.name.c_str(), line.value.c_str()};
            song.reset(mpd_song_begin(&pair));
            given.clear();
        } else if (song && wanted(line.name) && given.insert(line.name).second) {
            const mpd_pair pair{line.name.c_str(), line.value.c_str()};
            mpd_song_feed(song.get(), &pair);
        }
    }
    if (song && songs.size() < most)
        songs.push_back(fromLibrary(song.get()));
    return songs;
}

std::optional<MpdSong> MpdSong::first(const std::vector<MpdPair>& lines)
{
    std::vector<MpdSong> songs = list(lines, 1);
    if (songs.empty())
        return std::nullopt;
    return songs.front();
}

std::string MpdSong::name() const
{
    if (!title.empty())
        return title;
    // A stream's URI has no folder to drop worth speaking of; a file's has.
    std::string base = uri;
    if (const auto slash = base.find_last_of('/'); slash != std::string::npos && slash + 1 < base.size())
        base = base.substr(slash + 1);
    if (const auto dot = base.find_last_of('.'); dot != std::string::npos && dot > 0)
        base = base.substr(0, dot);
    return base;
}

std::pair<int, int> MpdSong::trackNumbers(const std::string& tag)
{
    const auto slash = tag.find('/');
    if (slash == std::string::npos)
        return {leadingNumber(tag, 0, tag.size()), 0};
    return {leadingNumber(tag, 0, slash), leadingNumber(tag, slash + 1, tag.size())};
}

} // namespace players
