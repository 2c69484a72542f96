-- A table holding a function value.
return {n = 1, f = function() return 2 end}
