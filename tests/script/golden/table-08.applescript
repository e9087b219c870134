tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
set num1 to track number of current track
set num2 to track count of current track
set myStr to "(" & num1 & " of " & num2 & ")"
return myStr
end tell
end if
end tell