tell application "iTunes"
tell application "System Events"
play
end tell
end tell