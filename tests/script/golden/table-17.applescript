tell application "System Events"
if exists process "iTunes" then
tell application"iTunes"
set  song repeat of current playlist to one
end tell
end if
end tell