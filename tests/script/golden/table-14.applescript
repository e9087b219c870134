tell application "System Events"
if exists process "iTunes" then
tell application"iTunes"
set shuffle of current playlist to true
end tell
end if
end tell