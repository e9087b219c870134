tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
set num1 to duration of current track
set num2 to player position
set myNum to (num2 / num1)
return myNum
end tell
end if
end tell