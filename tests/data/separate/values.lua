-- Returns four values of different kinds.
return 1, "a", true, {x = 2, 3}
