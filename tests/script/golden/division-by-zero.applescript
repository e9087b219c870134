set d to 0
return 1 / d