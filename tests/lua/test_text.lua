-- Text conversions: SJIS2Unicode, Unicode2SJIS, safeLiteral.
dofile("helper.lua")

local HYO = "\149\92"   -- U+8868, trail byte 0x5C
local SO = "\131\92"    -- U+30BD, trail byte 0x5C

-- SJIS2Unicode: UTF-16LE code units and a terminating zero unit
do
  checkEqual(app.SJIS2Unicode(""), "\0\0", "empty text: two zero bytes")
  checkEqual(app.SJIS2Unicode("A"), "A\0\0\0", "one ASCII character")
  checkEqual(app.SJIS2Unicode(HYO .. SO), "\104\136\189\48\0\0", "double-byte characters")
  checkEqual(app.SJIS2Unicode("ab\0cd"), "a\0b\0\0\0", "the text ends at its first zero byte")
  checkEqual(string.len(app.SJIS2Unicode("ab\130")), 8, "a lead byte at the end becomes one replacement unit")
  checkEqual(string.len(app.SJIS2Unicode("\160\253x")), 8, "lone bytes become one unit each")
  checkEqual(app.SJIS2Unicode(12), "1\0002\0\0\0", "numbers convert as their text")
end

-- Unicode2SJIS: back to code page 932 with a terminating zero byte
do
  checkEqual(app.Unicode2SJIS(app.SJIS2Unicode("")), "\0", "empty: one zero byte")
  checkEqual(app.Unicode2SJIS(""), "\0", "no code units at all")
  checkEqual(app.Unicode2SJIS(app.SJIS2Unicode(HYO .. "x" .. SO)), HYO .. "x" .. SO .. "\0", "round trip")
  checkEqual(app.Unicode2SJIS("a\0\0\0b\0"), "a\0", "ends at the first zero unit")
  checkEqual(app.Unicode2SJIS("a\0b"), "a\0", "an odd last byte is no unit")
  checkEqual(app.Unicode2SJIS("\233\0"), "?\0", "a character code page 932 lacks becomes ?")
  checkEqual(app.Unicode2SJIS("\0\216x\0"), "?x\0", "a lone surrogate becomes ?")
end

-- safeLiteral
do
  checkEqual(app.safeLiteral(""), '""', "empty")
  checkEqual(app.safeLiteral('a\tb"c\\d'), '"a\\tb\\"c\\\\d"', "tab, double quote and backslash escaped")
  checkEqual(app.safeLiteral("\7\8\9\10\11\12\13"), '"\\a\\b\\t\\n\\v\\f\\r"', "every control escape")
  checkEqual(app.safeLiteral(HYO .. SO), '"' .. HYO .. SO .. '"', "a trail byte 0x5C is not escaped")
  checkEqual(app.safeLiteral("x\130"), '"x\130"', "a lead byte at the end is copied alone")
  checkEqual(app.safeLiteral("a\0b"), '"a"', "the text ends at its first zero byte")
  checkEqual(app.safeLiteral("'\1\127"), "\"'\1\127\"", "other bytes are copied unchanged")
  local long = string.rep("\\", 2000)
  checkEqual(string.len(app.safeLiteral(long)), 4002, "longer than the reserved space")
  local original = 'line1\nq"' .. HYO .. '\\end'
  checkEqual(loadstring("return " .. app.safeLiteral(original))(), original, "the literal reads back as the text")
end

finish()
