if true then
return 1
end tell