tell application "System Events"
if exists process "iTunes" then
tell application "iTunes"
if player state is playing then
set myStr to "N"
else
set myStr to "Y"
end if
if shuffle of current playlist then
set myStr to myStr & "Y"
else
set myStr to myStr & "N"
end if
if song repeat of current playlist is all then
set myStr to myStr & "2"
else if song repeat of current playlist is one then
set myStr to myStr & "1"
else
set myStr to myStr & "0"
end if
return myStr
end tell
end if
end tell