-- Default start-up script. The host runs it with this folder as the current directory, then
-- raises events; everything the viewer does beyond its window is decided here.

-- Files named on the command line, in order.
startupFiles = {}

function onInitializeApp(files)
  startupFiles = files
end

function onReleaseApp()
end
