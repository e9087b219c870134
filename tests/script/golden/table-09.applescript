tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
set num1 to track number of track ((get index of current track) + 1) of current playlist
set num2 to track count of track ((get index of current track) + 1) of current playlist
set myStr to "(" & num1 & " of " & num2 & ")"
return myStr
end tell
end if
end tell