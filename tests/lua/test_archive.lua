-- The bundled archive plug-in through Susie_plugin: the tree of getArchiveInfo, getFile from a
-- file and from a Buffer, names in code page 932, an archive inside an archive.
dofile("helper.lua")

local dir = os.getenv("SELVARIN_ARCHIVES")
local spi = app.loadSusiePlugin(os.getenv("SELVARIN_ARCHIVE_SPI"))
check(spi ~= nil, "archive.spi loads")
checkEqual(spi:getPluginInfo(1), "00AM", "an archive plug-in")

local function page(n)
  return string.rep(string.format("page %03d\n", n), 500 + n)
end

-- The node whose filepath is `path`, searched through the whole tree.
local function find(nodes, path)
  for i = 1, table.getn(nodes) do
    local node = nodes[i]
    if node.filepath == path then return node end
    if node.children then
      local found = find(node.children, path)
      if found then return found end
    end
  end
  return nil
end

-- Every level: directories first, then names in the system's collation order.
local function checkOrder(nodes, where)
  for i = 2, table.getn(nodes) do
    local a, b = nodes[i - 1], nodes[i]
    if a.isDirectory == b.isDirectory then
      local _, an = app.splitPath(a.filepath)
      local _, bn = app.splitPath(b.filepath)
      check(app.compareString(an, bn) <= 0, "collation order in " .. where .. ": " .. an .. " / " .. bn)
    else
      check(a.isDirectory, "directories first in " .. where)
    end
  end
  for i = 1, table.getn(nodes) do
    if nodes[i].children then checkOrder(nodes[i].children, nodes[i].filepath) end
  end
end

-- The tree of the comic, as every format gives it.
local function checkComic(t, n, name)
  check(type(t) == "table", name .. ": a tree")
  checkOrder(t, name)
  local top = {}
  for i = 1, table.getn(t) do top[i] = t[i].filepath end
  checkEqual(table.getn(t), 6, name .. ": three folders and three files at the top")
  checkEqual(t[4].isDirectory, false, name .. ": files after the folders")
  local pages = find(t, "\\pages")
  check(pages and pages.isDirectory and not pages.isFile, name .. ": the folder pages")
  check(find(t, "\\Pages") ~= nil and find(t, "\\Pages") ~= pages, name .. ": Pages is a folder of its own")
  check(find(t, "\\漫画") ~= nil, name .. ": a Japanese folder name")
  local first = find(t, "pages\\001.jpg")
  check(first ~= nil, name .. ": nested filepath without a leading backslash")
  local cover = find(t, "\\cover.jpg")
  check(cover ~= nil, name .. ": top-level filepath with a leading backslash")
  checkEqual(cover.filesize, string.len(page(0)), name .. ": filesize")
  checkEqual(cover.lastUpdateTime, 1600000000, name .. ": time")
  checkEqual(cover.children, nil, name .. ": a file has no children")
  checkEqual(pages.filesize, nil, name .. ": a folder has no filesize")
  return first, cover
end

local function text(buffer)
  if not buffer then return nil end
  return buffer:stringData()
end

-- zip: positions reach the members from the file and from a Buffer of the archive
do
  local path = dir .. "/comic.zip"
  local t, n = spi:getArchiveInfo(path)
  checkEqual(n, 8, "zip: every record counted, the directory record too")
  local first, cover = checkComic(t, n, "zip")
  check(first.method == "deflate" or first.method == "store", "zip: method text")
  check(first.crc > 0, "zip: crc")
  checkEqual(text(spi:getFile(path, first.position, first.filesize)), page(1), "zip: page from the file")
  local buffer = app.createFileBuffer(path)
  local bt, bn = spi:getArchiveInfo(buffer)
  checkEqual(bn, n, "zip: the same listing from a Buffer")
  checkEqual(text(spi:getFile(buffer, cover.position, cover.filesize)), page(0), "zip: page from the Buffer")
  local pages = find(t, "\\pages")
  checkEqual(pages.lastUpdateTime, 1600000100, "zip: the directory record's time joins the folder")
end

-- 7z and compressed tar: members by number from the file; a Buffer cannot find them
for _, name in ipairs({"comic.7z", "comic.tar.gz"}) do
  local path = dir .. "/" .. name
  local t, n = spi:getArchiveInfo(path)
  local first = checkComic(t, n, name)
  checkEqual(text(spi:getFile(path, first.position, first.filesize)), page(1), name .. ": page from the file")
  checkEqual(spi:getFile(app.createFileBuffer(path), first.position, first.filesize), nil, name .. ": no page from a Buffer")
end

-- Names written in code page 932 by old tools, in zip and rar
for _, name in ipairs({"cp932.zip", "cp932.rar"}) do
  local path = dir .. "/" .. name
  local t, n = spi:getArchiveInfo(path)
  checkEqual(n, 1, name .. ": one record")
  local node = find(t, "ソフト\\表紙.jpg")
  check(node ~= nil, name .. ": the name whose second bytes are backslashes")
  if node then
    checkEqual(text(spi:getFile(path, node.position, node.filesize)), page(7), name .. ": its content")
  end
end

-- An archive inside an archive, opened from the extracted Buffer
do
  local path = dir .. "/outer.zip"
  local t = spi:getArchiveInfo(path)
  local inner = find(t, "inner\\comic.zip")
  local buffer = spi:getFile(path, inner.position, inner.filesize)
  check(buffer ~= nil, "the inner archive extracted")
  local it, n = spi:getArchiveInfo(buffer)
  checkEqual(n, 8, "the inner archive listed from memory")
  local cover = find(it, "\\cover.jpg")
  checkEqual(text(spi:getFile(buffer, cover.position, cover.filesize)), page(0), "a page of the inner archive")
end

-- A solid archive read page after page
do
  local path = dir .. "/thirty.7z"
  local t = spi:getArchiveInfo(path)
  local pages = find(t, "\\p").children
  checkEqual(table.getn(pages), 30, "thirty pages")
  local same = 0
  for i = 1, table.getn(pages) do
    if text(spi:getFile(path, pages[i].position, pages[i].filesize)) == page(i) then same = same + 1 end
  end
  checkEqual(same, 30, "every page in order")
end

-- Not an archive: the empty form, no error
do
  local t, n, e = spi:getArchiveInfo(app.createStringBuffer("not an archive at all"))
  checkEqual(type(t), "table", "a table for foreign data")
  checkEqual(n, 0, "no records")
end

finish()
