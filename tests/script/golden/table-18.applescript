tell application "System Events"
if exists process "iTunes" then
tell application"iTunes"
set song repeat of current playlist to all
end tell
end if
end tell