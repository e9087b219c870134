set x to 1
return x 2