tell application "iTunes"
next track
get name of track ((get index of current track) + 1) of current playlist
end tell