#pragma once

#include "players/Library.h"
#include "script/Dictionary.h"
#include "script/Error.h"
#include "script/ObjectSpecifier.h"
#include "script/Value.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What every player's object model says the same way: its terms, the errors
// a script sees for an object it cannot get or set, and how values and
// element indices are read.
namespace players::objects {

// "track 9 of current playlist": the first `count` steps, innermost first.
std::string describe(const std::vector<script::Reference>& path, std::size_t count);

script::Error cantGet(const std::vector<script::Reference>& path, std::size_t count);
script::Error cantSet(const std::vector<script::Reference>& path);
script::Error cantMake(const script::Value& value, const std::string& wanted);

// A step that names an object rather than a property's value: an element,
// or the application's current track or playlist.
bool isObjectStep(const script::Reference& ref);

// An integer or finite real as a number; nullopt for anything else.
std::optional<double> number(const script::Value& v);

// The terms every player answers to, whichever backend plays.
const script::Dictionary& playerDictionary();

// The scripts' names of a player state and a song repeat mode, and the mode
// a script's constant names (nullopt for anything else).
const char* stateName(PlayerState state);
const char* repeatName(SongRepeat repeat);
std::optional<SongRepeat> repeatFrom(const script::Value& v);

// The 1-based place of element `index` among `count`: negative indices count
// from the end (-1 is the last); nullopt past either end.
std::optional<std::size_t> elementPlace(std::int64_t index, std::size_t count);

// What every player's tracks show, in the scripts' terms.
struct TrackFields {
    std::string name;
    std::string artist;
    std::string album;
    std::int64_t trackNumber = 0;
    std::int64_t trackCount = 0;
    double duration = 0.0; // seconds
};

// Whether `term` is one of those, and that one as a value.
bool isTrackField(const std::string& term);
script::Value trackField(const TrackFields& track, const std::string& term);

// Whether `ref` names the one playlist every player has: playlist 1 (or -1),
// or the playlist by its name.
bool isPlaylistStep(const script::Reference& ref, const std::string& playlistName);

} // namespace players::objects
