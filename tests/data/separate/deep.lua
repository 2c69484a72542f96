-- A table nested 1000 levels deep, built without libraries.
local top = {}
local t = top
for i = 1, 1000 do t.next = {} t = t.next end
t.leaf = "bottom"
return top
