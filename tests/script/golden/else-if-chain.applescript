set n to 2
if n is 1 then
set s to "one"
else if n is 2 then
set s to "two"
else if n is 2 then
set s to "again"
else
set s to "other"
end if
return s