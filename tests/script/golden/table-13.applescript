tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
quit
end tell
end if
end tell