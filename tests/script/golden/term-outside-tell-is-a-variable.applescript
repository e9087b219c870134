set name to "plain"
return name