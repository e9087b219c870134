tell application "iTunes"
set t to track 1 of current playlist
return name of t
end tell