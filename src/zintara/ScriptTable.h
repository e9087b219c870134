#pragma once

namespace zintara {

inline constexpr int kScriptSlotCount = 20;
inline constexpr int kRatingCount = 6;

// The player bridge's script table, indexed by script slot:
//  0 play/pause            1 current name      2 current artist   3 current album
//  4 state string "NY2"    5 next name         6 next artist      7 next album
//  8 "(3 of 12)" current   9 "(4 of 12)" next 10 position/duration
// 11 next track           12 previous track   13 quit
// 14/15 shuffle on/off    16/17/18 song repeat off/one/all        19 rating
// Every source runs inside the System Events guard, so none launches the
// player. The texts are exact, down to the spacing.
extern const char* const kScriptSources[kScriptSlotCount];

// The slots by what they do.
enum ScriptSlot : int {
    kSlotPlayPause = 0,
    kSlotCurrentTitle = 1,
    kSlotCurrentArtist = 2,
    kSlotCurrentAlbum = 3,
    kSlotPlayerState = 4,
    kSlotNextTitle = 5,
    kSlotNextArtist = 6,
    kSlotNextAlbum = 7,
    kSlotCurrentNumber = 8,
    kSlotNextNumber = 9,
    kSlotPosition = 10,
    kSlotNextTrack = 11,
    kSlotPreviousTrack = 12,
    kSlotQuitPlayer = 13,
    kSlotShuffleOn = 14,
    kSlotShuffleOff = 15,
    kSlotRepeatOff = 16,
    kSlotRepeatOne = 17,
    kSlotRepeatAll = 18,
    kSlotRating = 19,
};

// The rating scripts, one per rating menu tag t (rating t * 20). They have
// no guard, so a rating chosen while the player is down launches it.
extern const char* const kRatingSources[kRatingCount];

} // namespace zintara
