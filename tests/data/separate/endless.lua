-- Never ends: the separate state stops it after its time limit.
local n = 0
while true do n = n + 1 end
