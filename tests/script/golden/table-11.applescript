tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
next track
end tell
end if
end tell