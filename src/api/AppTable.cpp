#include "AppTable.h"

#include "AppClipboard.h"
#include "AppDialogs.h"
#include "AppFiles.h"
#include "AppPrefetch.h"
#include "AppText.h"
#include "AppView.h"
#include "SeparateExecution.h"
#include "ScriptBuffer.h"
#include "ScriptCodecs.h"
#include "SurfaceClass.h"
#include "SusiePlugin.h"
#include "WindowClass.h"

#include "engine/Host.h"

#include <span>

namespace api {
namespace {

// The groups of `app` members in registration order; each module adds its group here.
// The whole order, groups inserted where their members stand:
//   getApplicationPath, getApplicationName, getApplicationVersion, getCurrentDirectory,
//   setCurrentDirectory, getSpecialFolder, getTicks, compareString, getDesktopSize,
//   separateDoFile, drawScreen, SJIS2Unicode, Unicode2SJIS, safeLiteral, enumClipboard,
//   getClipboardData, setClipboardData, getWindowRect, setWindowRect, getMainWindowMode,
//   setMainWindowMode, getAdustMode, setAdustMode, getViewScaling, setViewScaling,
//   getUseLinearFilter, setUseLinearFilter, getWheelRate, setWheelRate, getFrameTitle,
//   setFrameTitle, setStatusText, setImage, getImage, setBgImage, getBgImage, setBgColor,
//   getBgColor, messageBox, showFolderOpenDialog, showFileOpenDialog, showFileSaveDialog,
//   showOptionalDialog, findFile, joinPath, splitPath, splitExtension, getFileInfo,
//   isSupportedBmp, getPictureInfoBmp, loadBmp, isSupportedJpeg, getPictureInfoJpeg, loadJpeg,
//   createBmpFileHeader, createSurface, loadSusiePlugin, createProgressWindow, createBuffer,
//   createFileBuffer, createStringBuffer, prefetch.
constexpr std::span<const engine::HostFunction> kGroups[] = {
    kApplicationFunctions,
    kDesktopSizeFunctions,
    kSeparateExecutionFunctions,
    kDrawScreenFunctions,
    kTextFunctions,
    kClipboardFunctions,
    kViewFunctions,
    kDialogFunctions,
    kFileFunctions,
    kBmpFunctions,
    kJpegFunctions,
    kBmpFileHeaderFunctions,
    kSurfaceFunctions,
    kSusiePluginFunctions,
    kProgressWindowFunctions,
    kBufferFunctions,
    kPrefetchFunctions,
};

}  // namespace

void installApp(lua_State* L)
{
    for (std::span<const engine::HostFunction> group : kGroups)
        engine::registerTable(L, "app", group);
}

}  // namespace api
