// Entry points of the PNG picture plug-in.
#include "Entry.h"
#include "PngDecoder.h"

#include <png.h>

extern "C" {

SPI_EXPORT int SPI_CALL GetPluginInfo(int infono, char* buf, int buflen)
{
    return plugin::pluginInfo(infono, buf, buflen,
                              {"00IN", "Selvarin PNG plug-in (libpng " PNG_LIBPNG_VER_STRING ")", "*.png;*.apng", "PNG"});
}

SPI_EXPORT int SPI_CALL IsSupported(const char*, const void* dw)
{
    return plugin::supportedEntry(dw, pngplugin::hasSignature);
}

SPI_EXPORT int SPI_CALL GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info)
{
    return plugin::headerInfoEntry<pngplugin::PngHeader>(
        buf, len, flag, info, pngplugin::readHeader,
        [](const pngplugin::PngHeader& h) {
            return plugin::PictureFacts{h.width, h.height, h.bitDepth * h.channels, h.xPerMetre, h.yPerMetre};
        },
        pngplugin::describe);
}

SPI_EXPORT int SPI_CALL GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                                   SpiProgressCallback progress, intptr_t lData)
{
    return plugin::pictureEntry(buf, len, flag, pHBInfo, pHBm, progress, lData, pngplugin::decode);
}

// libpng keeps every decode's state in its own png_struct, errors included.
SPI_EXPORT unsigned int SPI_CALL GetPluginCapabilities(void) { return SPI_CAPABILITY_THREAD_SAFE; }

}  // extern "C"
