-- The view and window members of `app` without a main window (batch mode): the view state is
-- kept, window functions answer nothing.
dofile("helper.lua")

local s = app.createSurface(8, 6)
check(s ~= nil, "a surface to show")

-- Front and background images, with their registry anchors.
checkEqual(app.setImage(s), true, "setImage with a surface")
checkEqual(app.getImage(), s, "getImage gives the same object")
checkEqual(app.setImage(nil), true, "setImage with nil")
checkEqual(app.getImage(), nil, "cleared")
checkError("( #1 )", function() app.setImage() end)
checkError("( #1 )", function() app.setImage({}) end)
checkEqual(app.setBgImage(s), true, "setBgImage")
checkEqual(app.getBgImage(), s, "getBgImage")

-- A released surface is an error; one without pixels returns false.
local gone = app.createSurface(2, 2)
gone:release()
local ok, err = pcall(app.setImage, gone)
check(not ok, "a released surface raises")

-- Background colours: red first, upper case, short texts are white, the image is gone.
app.setBgColor("ff0000")
checkEqual(app.getBgColor(), "FF0000", "lower-case digits come back upper case")
checkEqual(app.getBgImage(), nil, "setBgColor clears the background image")
app.setBgColor("12345")
checkEqual(app.getBgColor(), "FFFFFF", "five bytes are white")
app.setBgColor("00ff80")
checkEqual(app.getBgColor(), "00FF80", "green and blue")
app.setBgColor("zz10gg")
checkEqual(app.getBgColor(), "001000", "pairs read as far as they are hexadecimal")

-- Wheel rate, filter, scaling and adjust mode.
app.setWheelRate(0.05)
checkEqual(app.getWheelRate(), 0.1, "wheel rate never below 0.1")
app.setWheelRate("2")
checkEqual(app.getWheelRate(), 2, "a numeric text is a number")
app.setWheelRate({})
checkEqual(app.getWheelRate(), 2, "other values are ignored")
app.setUseLinearFilter(1)
checkEqual(app.getUseLinearFilter(), true, "a number is not a boolean")
app.setUseLinearFilter(false)
checkEqual(app.getUseLinearFilter(), false, "a boolean is")

app.setAdustMode("width")
checkEqual(app.getAdustMode(), "width", "width")
app.setAdustMode("Width")
checkEqual(app.getAdustMode(), "width", "names are case-sensitive")
app.setViewScaling(2.5)
checkEqual(app.getAdustMode(), nil, "a scaling sets mode 0")
checkEqual(app.getViewScaling(), 2.5, "scaling")
app.setAdustMode("greator")
checkEqual(app.getAdustMode(), "greator", "greator")
app.setAdustMode(nil)
checkEqual(app.getAdustMode(), nil, "nil returns to the fixed scaling")
checkEqual(app.getViewScaling(), 2.5, "and keeps it")
app.setViewScaling("x")
checkEqual(app.getViewScaling(), 2.5, "a non-number is ignored")

-- Without a main window.
checkEqual(app.getMainWindowMode(), nil, "no window mode")
checkEqual(app.getWindowRect("main"), nil, "no main window")
checkEqual(app.getWindowRect("filelist"), nil, "no file list")
app.setWindowRect("main", {x = 1})
app.setStatusText("nothing to show it")
checkEqual(app.getFrameTitle(), "Selvarin", "the title starts as the application name")
app.setFrameTitle("t")
checkEqual(app.getFrameTitle(), "t", "title kept")
checkEqual(app.drawScreen(s), false, "no view to draw on")
local w, h = app.getDesktopSize()
check(type(w) == "number" and type(h) == "number", "desktop size")
checkError("`tostring'", function() app.setStatusText(setmetatable({}, {__tostring = function() return nil end})) end)

finish()
