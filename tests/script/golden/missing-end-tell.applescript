tell application "iTunes"
play