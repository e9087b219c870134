set a to 1
return b