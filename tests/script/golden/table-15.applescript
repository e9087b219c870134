tell application "System Events"
if exists process "iTunes" then
tell application"iTunes"
set shuffle of current playlist to false
end tell
end if
end tell