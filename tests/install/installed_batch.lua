-- Run by the installed program: it finds its folder, and its plug-ins through it.
local folder = app.getApplicationPath()
print("folder: " .. folder)
local png = app.loadSusiePlugin(app.joinPath(app.joinPath(folder, "plugins"), "png.spi"))
if png == nil then
  print("png.spi: not loaded")
  os.exit(1)
end
local header, bits = png:getPicture(arg[1])
local surface = header and app.createSurface(header, bits)
if surface == nil then
  print("picture: not decoded")
  os.exit(1)
end
print("picture: " .. surface:width() .. "x" .. surface:height())
