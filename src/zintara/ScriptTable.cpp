#include "zintara/ScriptTable.h"

namespace zintara {

// Each source is one string literal per line; only the last line has no
// line feed.
const char* const kScriptSources[kScriptSlotCount] = {
    // Slot 0
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application \"iTunes\"\n"
    "if player state is paused then\n"
    "play\n"
    "else\n"
    "pause\n"
    "end if\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 1
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application \"iTunes\"\n"
    "return name of current track\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 2
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application \"iTunes\"\n"
    "return artist of current track\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 3
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application \"iTunes\"\n"
    "return album of current track\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 4
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application \"iTunes\"\n"
    "if player state is playing then\n"
    "set myStr to \"N\"\n"
    "else\n"
    "set myStr to \"Y\"\n"
    "end if\n"
    "if shuffle of current playlist then\n"
    "set myStr to myStr & \"Y\"\n"
    "else\n"
    "set myStr to myStr & \"N\"\n"
    "end if\n"
    "if song repeat of current playlist is all then\n"
    "set myStr to myStr & \"2\"\n"
    "else if song repeat of current playlist is one then\n"
    "set myStr to myStr & \"1\"\n"
    "else\n"
    "set myStr to myStr & \"0\"\n"
    "end if\n"
    "return myStr\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 5
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application \"iTunes\"\n"
    "get name of track ((get index of current track) + 1) of current playlist\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 6
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application \"iTunes\"\n"
    "return artist of track ((get index of current track) + 1) of current playlist\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 7
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application \"iTunes\"\n"
    "return album of track ((get index of current track) + 1) of current playlist\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 8
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application \"iTunes\"\n"
    "set num1 to track number of current track\n"
    "set num2 to track count of current track\n"
    "set myStr to \"(\" & num1 & \" of \" & num2 & \")\"\n"
    "return myStr\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 9
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application \"iTunes\"\n"
    "set num1 to track number of track ((get index of current track) + 1) of current playlist\n"
    "set num2 to track count of track ((get index of current track) + 1) of current playlist\n"
    "set myStr to \"(\" & num1 & \" of \" & num2 & \")\"\n"
    "return myStr\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 10
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application \"iTunes\"\n"
    "set num1 to duration of current track\n"
    "set num2 to player position\n"
    "set myNum to (num2 / num1)\n"
    "return myNum\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 11
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application \"iTunes\"\n"
    "next track\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 12
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application \"iTunes\"\n"
    "previous track\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 13
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application \"iTunes\"\n"
    "quit\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 14
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application\"iTunes\"\n"
    "set shuffle of current playlist to true\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 15
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application\"iTunes\"\n"
    "set shuffle of current playlist to false\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 16
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application\"iTunes\"\n"
    "set  song repeat of current playlist to off\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 17
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application\"iTunes\"\n"
    "set  song repeat of current playlist to one\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 18
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application\"iTunes\"\n"
    "set song repeat of current playlist to all\n"
    "end tell\n"
    "end if\n"
    "end tell",
    // Slot 19
    "tell application \"System Events\"\n"
    "if exists process \"iTunes\" then\n"
    "tell application \"iTunes\"\n"
    "set num1 to rating of current track\n"
    "return num1\n"
    "end tell\n"
    "end if\n"
    "end tell",
};

const char* const kRatingSources[kRatingCount] = {
    "tell application \"itunes\" to set rating of current track to 0",
    "tell application \"itunes\" to set rating of current track to 20",
    "tell application \"itunes\" to set rating of current track to 40",
    "tell application \"itunes\" to set rating of current track to 60",
    "tell application \"itunes\" to set rating of current track to 80",
    "tell application \"itunes\" to set rating of current track to 100",
};

} // namespace zintara
