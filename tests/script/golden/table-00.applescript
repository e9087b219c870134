tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
if player state is paused then
play
else
pause
end if
end tell
end if
end tell