tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
get name of track ((get index of current track) + 1) of current playlist
end tell
end if
end tell