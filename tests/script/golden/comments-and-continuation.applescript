-- a comment
(* block (* nested *) comment *)
tell application "iTunes" # another
return name of ¬
   current track -- trailing
end tell
