tell application "iTunes"
set x to application "iTunes"
end tell