if 1 < 2 then return "less"
return "not less"