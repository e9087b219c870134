set x to 5
x + 1
if x > 10 then set x to 0