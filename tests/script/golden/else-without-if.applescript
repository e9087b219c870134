else
return 1