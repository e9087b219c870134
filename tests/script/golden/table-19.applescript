tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
set num1 to rating of current track
return num1
end tell
end if
end tell