tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
previous track
end tell
end if
end tell