return "first"
return "second"