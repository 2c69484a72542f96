-- One table referred to twice.
local shared = {v = 1}
return {p = shared, q = shared}
