-- Returns nothing.
local unused = 1
