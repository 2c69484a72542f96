-- A table that contains itself through another.
local a = {}
local b = {a}
a.b = b
return a
