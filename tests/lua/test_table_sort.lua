-- table.sort as 5.0 scripts know it: it sorts the table's 5.0 size (table.setn counts).
dofile("helper.lua")

local t = {5, 3, 9, 1, 7}
table.setn(t, 3)
table.sort(t)
check(t[1] == 3 and t[2] == 5 and t[3] == 9, "the first three are sorted")
check(t[4] == 1 and t[5] == 7, "beyond the 5.0 size nothing moves")

local u = {}
for i = 1, 2000 do u[i] = math.mod(i * 7919, 2003) end
table.sort(u)
local ascending = true
for i = 2, 2000 do if u[i - 1] > u[i] then ascending = false end end
check(ascending, "a large table sorts ascending")
table.sort(u, function(a, b) return a > b end)
check(u[1] >= u[2] and u[1999] >= u[2000], "with an order function")

local words = {"pear", "apple", "fig"}
table.sort(words)
checkEqual(table.concat(words, ","), "apple,fig,pear", "strings")

checkError("`sort'", table.sort, {3, 1, 2, 5, 4, 7, 6, 9, 8, 10, 12, 11}, function() return true end)
checkError("( #1 )", function() table.sort(nil) end)
local ok = pcall(table.sort, {1, "x", 3})
check(not ok, "mixed types cannot be compared")

finish()
