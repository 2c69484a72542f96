// Entry points of the GIF picture plug-in.
#include "Entry.h"
#include "GifDecoder.h"

extern "C" {

SPI_EXPORT int SPI_CALL GetPluginInfo(int infono, char* buf, int buflen)
{
    return plugin::pluginInfo(infono, buf, buflen, {"00IN", "Selvarin GIF plug-in (giflib)", "*.gif", "GIF"});
}

SPI_EXPORT int SPI_CALL IsSupported(const char*, const void* dw)
{
    return plugin::supportedEntry(dw, gifplugin::hasSignature);
}

SPI_EXPORT int SPI_CALL GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info)
{
    return plugin::headerInfoEntry<gifplugin::GifHeader>(
        buf, len, flag, info, gifplugin::readHeader,
        [](const gifplugin::GifHeader& h) {
            return plugin::PictureFacts{h.canvasWidth, h.canvasHeight, h.bitsPerPixel};
        },
        gifplugin::describe);
}

SPI_EXPORT int SPI_CALL GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                                   SpiProgressCallback progress, intptr_t lData)
{
    return plugin::pictureEntry(buf, len, flag, pHBInfo, pHBm, progress, lData, gifplugin::decode);
}

// giflib 5 keeps every decode's state, errors included, in its own GifFileType.
SPI_EXPORT unsigned int SPI_CALL GetPluginCapabilities(void) { return SPI_CAPABILITY_THREAD_SAFE; }

}  // extern "C"
