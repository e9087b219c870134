// The player poll: whether the player runs, its rating, position, state,
// shuffle and repeat into the menu and the marquee, and the display line.
#include "zintara/Zintara.h"

#include "kit/Menu.h"
#include "kit/MenuItem.h"
#include "kit/StringDrawing.h"
#include "kit/Timer.h"
#include "kit/Window.h"
#include "players/Player.h"
#include "script/TextNumbers.h"
#include "zintara/Tags.h"
#include "zintara/ScriptTable.h"
#include "zintara/TunesView.h"

#include <string_view>

using namespace zintara;

namespace {
constexpr const char* kNextHeader = "    NEXT: ";
constexpr const char* kSeparator = " - ";
// How soon the player's own news of a change is followed by a poll, in
// seconds: its burst of signals for one change is then in.
constexpr double kPollSoonDelay = 0.1;

// trackPrefs indices.
enum Pref : int { kCurTitle, kCurArtist, kCurAlbum, kCurTrack, kNextTitlePref, kNextArtistPref, kNextAlbumPref,
                  kNextTrackPref, kClearPaused };

// Character `index` of the state string, or 0 when it has none.
char stateChar(const std::optional<std::string>& state, std::size_t index)
{
    return state && state->size() > index ? (*state)[index] : '\0';
}

// The track-number piece as the scripts give it, "(3 of 12)", without a
// count the player does not know (0: an MPD server that passes on no total,
// a media-bus player always): "(3)", and no piece with no number either.
std::string withoutUnknownCount(const std::string& text)
{
    constexpr std::string_view kUnknownCount = " of 0)";
    if (text.size() <= kUnknownCount.size() + 1 || text.front() != '('
        || text.compare(text.size() - kUnknownCount.size(), kUnknownCount.size(), kUnknownCount) != 0)
        return text;
    const std::string number = text.substr(1, text.size() - kUnknownCount.size() - 1);
    if (number.find_first_not_of("0123456789") != std::string::npos)
        return text;
    return number.find_first_not_of('0') == std::string::npos ? std::string() : "(" + number + ")";
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

void Zintara::listenToPlayer()
{
    if (!m_player)
        return;
    // The news may come in the middle of a poll, and a player may send it
    // without end: it only asks for one poll a little later, however often.
    m_player->setChangeListener([this] {
        if (m_pollSoon)
            return;
        m_pollSoon = kit::Timer::scheduledTimerWithTimeInterval(
            kPollSoonDelay, [this](kit::Timer&) {
                m_pollSoon.reset();
                if (timer) // polls have begun
                    timerFire(nullptr);
            },
            false);
    });
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
        // A player that is there but turns Zintara away (a refused password)
        // says so in place of the line, and is not launched a second time.
        const std::string refusal = m_player ? m_player->refusal() : std::string();
        if (quitTunes) {
            quitTunes->setTitle("Launch " + playerName);
            quitTunes->setEnabled(refusal.empty());
        }
        if (quitBoth)
            quitBoth->setEnabled(false);
        if (tunesView) {
            if (!refusal.empty()) {
                tunesView->setDisplayStaticTag(false);
                tunesView->setDisplayString("(" + refusal + ")");
            } else if (trackPrefs[kClearPaused]) {
                tunesView->setDisplayStaticTag(true);
                tunesView->setDisplayString("");
            } else {
                tunesView->setDisplayStaticTag(false);
                tunesView->setDisplayString("(" + kit::directionIsolated(playerName) + " is not running)");
            }
        }
        return;
    }

    if (quitBoth)
        quitBoth->setEnabled(true);
    if (quitTunes) {
        quitTunes->setTitle("Quit " + playerName);
        quitTunes->setEnabled(true);
    }

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
    // off or the script had no answer. Each keeps its direction to itself:
    // a right-to-left title, or one that overrides the direction, leaves the
    // artist, the album and "NEXT:" where they are.
    auto piece = [this](int pref, int slot, const char* prefix) -> std::string {
        if (!trackPrefs[pref])
            return "";
        std::optional<std::string> text = runScript(slot);
        if (text && (slot == kSlotCurrentNumber || slot == kSlotNextNumber))
            text = withoutUnknownCount(*text);
        return emptyStr(text) ? "" : prefix + kit::directionIsolated(*text);
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
