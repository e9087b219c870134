// The player poll: whether the player runs, its rating, position, state,
// shuffle and repeat into the menu and the marquee, and the display line.
#include "zintara/Zintara.h"

#include "kit/Menu.h"
#include "kit/MenuItem.h"
#include "kit/Window.h"
#include "players/Player.h"
#include "script/TextNumbers.h"
#include "zintara/Tags.h"
#include "zintara/ScriptTable.h"
#include "zintara/TunesView.h"

using namespace zintara;

namespace {
constexpr const char* kNextHeader = "    NEXT: ";
constexpr const char* kSeparator = " - ";

// trackPrefs indices.
enum Pref : int { kCurTitle, kCurArtist, kCurAlbum, kCurTrack, kNextTitlePref, kNextArtistPref, kNextAlbumPref,
                  kNextTrackPref, kClearPaused };

// Character `index` of the state string, or 0 when it has none.
char stateChar(const std::optional<std::string>& state, std::size_t index)
{
    return state && state->size() > index ? (*state)[index] : '\0';
}

void check(kit::Menu* menu, int tag, bool on)
{
    if (menu) {
        if (kit::MenuItem* item = menu->itemWithTag(tag))
            item->setState(on ? 1 : 0);
    }
}
} // namespace

std::string Zintara::playerDisplayName() const
{
    return m_player ? m_player->displayName() : kPlayerName;
}

void Zintara::timerFire(void*)
{
    struct AfterPoll {
        Zintara* self;
        ~AfterPoll() { self->updateDockToolTip(); }
    } afterPoll{this};
    if (prefsWnd && prefsWnd->isVisible())
        return;

    // A player that gave up on a silent peer tries again; the automatic
    // player may follow another one from here on.
    if (m_player)
        m_player->beginPoll();
    const std::string playerName = playerDisplayName();

    m_playerShownRunning = appIsRunning(kPlayerName);
    if (!m_playerShownRunning) {
        if (quitTunes)
            quitTunes->setTitle("Launch " + playerName);
        if (quitBoth)
            quitBoth->setEnabled(false);
        if (tunesView) {
            if (trackPrefs[kClearPaused]) {
                tunesView->setDisplayStaticTag(true);
                tunesView->setDisplayString("");
            } else {
                tunesView->setDisplayStaticTag(false);
                tunesView->setDisplayString("(" + playerName + " is not running)");
            }
        }
        return;
    }

    if (quitBoth)
        quitBoth->setEnabled(true);
    if (quitTunes)
        quitTunes->setTitle("Quit " + playerName);

    setTrackRating(script::intValue(runScript(kSlotRating)));
    const float position = script::floatValue(runScript(kSlotPosition));
    if (tunesView)
        tunesView->setTimePerc(position);

    const std::optional<std::string> state = runScript(kSlotPlayerState);
    const bool shuffle = stateChar(state, 1) == 'Y';
    check(shuffleMenu, kTagShuffleOn, shuffle);
    check(shuffleMenu, kTagShuffleOff, !shuffle);
    const char repeat = stateChar(state, 2);
    check(repeatMenu, kTagRepeatOff, repeat == '0');
    check(repeatMenu, kTagRepeatOne, repeat == '1');
    check(repeatMenu, kTagRepeatAll, repeat != '0' && repeat != '1');

    bool paused = false;
    if (stateChar(state, 0) == 'N') {
        if (playPause)
            playPause->setTitle("Pause");
    } else {
        if (playPause)
            playPause->setTitle("Play");
        paused = true;
        if (trackPrefs[kClearPaused]) {
            if (tunesView) {
                tunesView->setDisplayStaticTag(true);
                tunesView->setDisplayString("");
            }
            return;
        }
    }

    // A piece: the slot's text with its prefix, or nothing when its flag is
    // off or the script had no answer.
    auto piece = [this](int pref, int slot, const char* prefix) -> std::string {
        if (!trackPrefs[pref])
            return "";
        const std::optional<std::string> text = runScript(slot);
        return emptyStr(text) ? "" : prefix + *text;
    };
    const std::string curTitle = piece(kCurTitle, kSlotCurrentTitle, "");
    const std::string curArtist = piece(kCurArtist, kSlotCurrentArtist, trackPrefs[kCurTitle] ? kSeparator : "");
    const std::string curAlbum = piece(kCurAlbum, kSlotCurrentAlbum, kSeparator);
    const std::string curNumber = piece(kCurTrack, kSlotCurrentNumber, kSeparator);
    const std::string nextTitle = piece(kNextTitlePref, kSlotNextTitle, "");
    const std::string nextArtist = piece(kNextArtistPref, kSlotNextArtist, trackPrefs[kNextTitlePref] ? kSeparator : "");
    const std::string nextAlbum = piece(kNextAlbumPref, kSlotNextAlbum, kSeparator);
    const std::string nextNumber = piece(kNextTrackPref, kSlotNextNumber, kSeparator);

    std::string line = curTitle + curArtist + curAlbum + curNumber;
    if (trackPrefs[kNextTitlePref] || trackPrefs[kNextArtistPref] || trackPrefs[kNextAlbumPref]
        || trackPrefs[kNextTrackPref])
        line += kNextHeader + nextTitle + nextArtist + nextAlbum + nextNumber;

    if (emptyStr(line) && tunesView && tunesView->pieStyle() != 0)
        line = " ";
    if (line == kNextHeader) {
        if (!paused)
            return;
        line = "(Unpause to get track info)";
    }
    if (tunesView) {
        tunesView->setDisplayStaticTag(false);
        tunesView->setDisplayString(line);
    }
}
