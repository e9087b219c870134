tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
return name of current track
end tell
end if
end tell