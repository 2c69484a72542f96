-- Names that Shift JIS cannot spell: created by the shell with their real bytes, then listed,
-- opened, described, written and renamed through the script's code page 932 texts.
dofile("helper.lua")

-- The documented escape: each byte b of a character the code page lacks (and each byte that is
-- not UTF-8) becomes the double-byte character 0xF6 + floor(b / 64), 0x80 + b mod 64.
local function escape(bytes)
  return (string.gsub(bytes, "[\128-\255]", function(c)
    local b = string.byte(c)
    return string.char(246 + math.floor(b / 64), 128 + math.mod(b, 64))
  end))
end

local base = os.tmpname()
os.remove(base)
local dir = base .. "_names"
local osDir = string.gsub(dir, "\\", "/")
local jpeg = os.getenv("SELVARIN_TEST_DATA") .. "/colour_3x2.jpg"

-- `printed` is a printf format giving the real name, so the shell makes it without our help.
local function shell(command) return os.execute(command) end
local function copyAs(printed) return shell("cp '" .. jpeg .. "' \"" .. osDir .. "/$(printf '" .. printed .. "')\"") end
local function exists(printed) return shell("test -e \"" .. osDir .. "/$(printf '" .. printed .. "')\"") == 0 end

checkEqual(shell("mkdir '" .. osDir .. "'"), 0, "a fresh folder")

-- The seven pictures: printf format, and the name as a script sees it.
local pictures = {
  {"caf\\303\\251.jpg", escape("caf\195\169.jpg")},
  {"\\303\\204\\303\\226\\303\\234.jpg", escape("\195\132\195\150\195\156.jpg")},
  {"\\354\\202\\254\\354\\247\\204.jpg", escape("\236\130\172\236\167\132.jpg")},
  {"emoji\\360\\237\\230\\200.jpg", escape("emoji\240\159\152\128.jpg")},
  {"plain.jpg", "plain.jpg"},
  {"\\351\\253\\231\\346\\251\\213.jpg", "\251\252\139\180.jpg"},   -- 髙橋: the code page has both
  {"\\316\\251mega.jpg", "\131\182mega.jpg"},                         -- Ω too
}
for _, p in ipairs(pictures) do checkEqual(copyAs(p[1]), 0, "created " .. p[1]) end
local jpegSize = app.getFileInfo(string.gsub(jpeg, "/", "\\")).filesize

-- findFile lists all seven, each opens, and getFileInfo describes it
do
  local names = app.findFile(app.joinPath(dir, "*.jpg"))
  checkEqual(table.getn(names), 7, "seven names")
  local listed = {}
  for _, name in ipairs(names) do listed[name] = true end
  for _, p in ipairs(pictures) do
    check(listed[p[2]], "listed: " .. p[1])
    local path = app.joinPath(dir, p[2])
    local buffer = app.createFileBuffer(path)
    check(buffer ~= nil and buffer:size() == jpegSize, "createFileBuffer opens " .. p[1])
    check(app.isSupportedJpeg("", buffer) and app.isSupportedJpeg(path), "the decoder reaches it " .. p[1])
    checkEqual(app.getPictureInfoJpeg(path), 3, "and reads the picture " .. p[1])
    local info = app.getFileInfo(path)
    check(info ~= nil and info.isFile and info.filesize == jpegSize, "getFileInfo reports " .. p[1])
    checkEqual(info and info.filepath, path, "with its path " .. p[1])
    local f = io.open(path, "rb")
    check(f ~= nil and string.len(f:read("*a")) == jpegSize, "io.open reads " .. p[1])
    if f then f:close() end
  end
  checkEqual(table.getn(app.findFile(app.joinPath(dir, "caf?.jpg"))), 1, "? stands for the whole escaped character")
  checkEqual(app.findFile(app.joinPath(dir, escape("caf\195\169") .. ".*"))[1], escape("caf\195\169.jpg"),
    "a pattern holding an escaped character")
end

-- Text conversions: SJIS2Unicode decodes the escapes, Unicode2SJIS keeps its "?"
do
  local cafe = escape("caf\195\169.jpg")
  checkEqual(app.SJIS2Unicode(cafe), "c\0a\0f\0\233\0.\0j\0p\0g\0\0\0", "the real é in UTF-16")
  checkEqual(app.SJIS2Unicode(escape("\240\159\152\128")), "\61\216\0\222\0\0", "an emoji as a surrogate pair")
  checkEqual(app.Unicode2SJIS(app.SJIS2Unicode(cafe)), "caf?.jpg\0", "the system conversion marks what it lacks")
  checkEqual(app.Unicode2SJIS(app.SJIS2Unicode("\251\252\139\180")), "\251\252\139\180\0", "and keeps what it has")
  local folder, name = app.splitPath(app.joinPath(dir, cafe))
  checkEqual(folder, dir, "splitPath keeps the folder")
  checkEqual(name, cafe, "and the escaped name whole")
  local stem, extension = app.splitExtension(cafe)
  checkEqual(stem, escape("caf\195\169"), "splitExtension: the name")
  checkEqual(extension, "jpg", "and the extension")
end

-- UTF-16 text back to the lossless form with app.Unicode2SJIS and the escape, as the script API
-- reference shows it
local escapeBytes = escape

local function utf8Of(cp)
  local function cont(shift) return 128 + math.mod(math.floor(cp / shift), 64) end
  if cp < 128 then return string.char(cp) end
  if cp < 2048 then return string.char(192 + math.floor(cp / 64), cont(1)) end
  if cp < 65536 then return string.char(224 + math.floor(cp / 4096), cont(64), cont(1)) end
  return string.char(240 + math.floor(cp / 262144), cont(4096), cont(64), cont(1))
end

-- UTF-16LE bytes (as app.SJIS2Unicode gives them) to the text a file function takes.
function unicodeToName(utf16)
  local out, i, n = {}, 1, string.len(utf16)
  while i + 1 <= n do
    local cp = string.byte(utf16, i) + 256 * string.byte(utf16, i + 1)
    if cp == 0 then break end
    local width = 2
    if cp >= 55296 and cp <= 56319 and i + 3 <= n then
      local low = string.byte(utf16, i + 2) + 256 * string.byte(utf16, i + 3)
      if low >= 56320 and low <= 57343 then
        cp, width = 65536 + (cp - 55296) * 1024 + (low - 56320), 4
      end
    end
    if cp >= 55296 and cp <= 57343 then cp = 65533 end   -- a lone surrogate
    local sjis = string.sub(app.Unicode2SJIS(string.sub(utf16, i, i + width - 1)), 1, -2)
    local lead, trail = string.byte(sjis, 1), string.byte(sjis, 2)
    local isUnit = lead and trail and lead >= 246 and lead <= 249 and trail >= 128 and trail <= 191
    if (sjis == "?" and cp ~= 63) or isUnit then
      table.insert(out, escapeBytes(utf8Of(cp)))
    else
      table.insert(out, sjis)
    end
    i = i + width
  end
  return table.concat(out)
end
do
  for _, p in ipairs(pictures) do
    checkEqual(unicodeToName(app.SJIS2Unicode(p[2])), p[2], "back from UTF-16: " .. p[1])
  end
  checkEqual(unicodeToName(app.SJIS2Unicode("what?" .. "\131\92")), "what?\131\92", "a real ? and a trail byte 0x5C")
  local pua = escape("\238\146\167")   -- U+E4A7, whose own code is an escape unit
  checkEqual(unicodeToName(app.SJIS2Unicode(pua)), pua, "a user-defined character with an escape code")
  checkEqual(unicodeToName(app.SJIS2Unicode("\240\64")), "\240\64", "one with a code of its own")
end

-- A name written with io.open is the real name, and findFile gives back the same text
do
  local name = escape("new_\195\169\236\130\172\240\159\152\128.txt")
  local f = io.open(app.joinPath(dir, name), "wb")
  check(f ~= nil, "io.open creates an escaped name")
  if f then f:write("hello") f:close() end
  check(exists("new_\\303\\251\\354\\202\\254\\360\\237\\230\\200.txt"), "the OS sees the real characters")
  local found = app.findFile(app.joinPath(dir, "new_*"))
  checkEqual(table.getn(found), 1, "one new file")
  checkEqual(found[1], name, "findFile names it with the same text")
  local g = io.open(app.joinPath(dir, found[1]), "rb")
  checkEqual(g and g:read("*a"), "hello", "and it reads back")
  if g then g:close() end

  local renamed = escape("\195\132.txt")
  check(os.rename(app.joinPath(dir, name), app.joinPath(dir, renamed)), "os.rename between escaped names")
  check(exists("\\303\\204.txt") and not exists("new_\\303\\251\\354\\202\\254\\360\\237\\230\\200.txt"), "renamed on disk")
  local buffer = app.createStringBuffer("written")
  check(buffer:writeToFile(app.joinPath(dir, escape("\236\130\172.bin"))), "writeToFile to an escaped name")
  check(exists("\\354\\202\\254.bin"), "the OS sees that name")
  check(os.remove(app.joinPath(dir, renamed)), "os.remove of an escaped name")
  check(not exists("\\303\\204.txt"), "removed on disk")
end

-- Bytes that are not UTF-8, and a backslash inside a name, come and go unchanged
do
  checkEqual(copyAs("\\351t\\351.bin"), 0, "a Latin-1 name")
  checkEqual(copyAs("back\\\\slash.bin"), 0, "a name holding a backslash")
  local latin = escape("\233t\233.bin")
  local backslash = "back" .. string.char(247, 156) .. "slash.bin"
  local found = {}
  for _, name in ipairs(app.findFile(app.joinPath(dir, "*.bin"))) do found[name] = true end
  check(found[latin], "the Latin-1 name is listed escaped")
  check(found[backslash], "the backslash is escaped, not a separator")
  for _, name in ipairs({latin, backslash}) do
    local b = app.createFileBuffer(app.joinPath(dir, name))
    check(b ~= nil and b:size() == jpegSize, "and each opens")
    check(app.getFileInfo(app.joinPath(dir, name)) ~= nil, "and getFileInfo finds it")
  end
end

-- A folder named josé is listed, and can be the current directory
do
  local jose = escape("jos\195\169")
  checkEqual(shell("mkdir \"" .. osDir .. "/$(printf 'jos\\303\\251')\" && touch \"" .. osDir
    .. "/$(printf 'jos\\303\\251')/inside.jpg\""), 0, "a folder named jose with an accent")
  local inside = app.findFile(app.joinPath(app.joinPath(dir, jose), "*"))
  checkEqual(table.getn(inside), 3, "its listing")
  checkEqual(inside[3], "inside.jpg", "holds the file")
  check(app.getFileInfo(app.joinPath(dir, jose)).isDirectory, "getFileInfo sees a folder")
  local saved = app.getCurrentDirectory()
  app.setCurrentDirectory(app.joinPath(dir, jose))
  checkEqual(app.getCurrentDirectory(), app.joinPath(dir, jose), "the current directory in script form")
  checkEqual(app.getFileInfo("inside.jpg").filepath, app.joinPath(app.joinPath(dir, jose), "inside.jpg"),
    "relative names complete against it")
  app.setCurrentDirectory(saved)
end

shell("rm -rf '" .. osDir .. "'")
finish()
