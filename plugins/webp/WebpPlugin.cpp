// Entry points of the WebP picture plug-in.
#include "Entry.h"
#include "WebpDecoder.h"

extern "C" {

SPI_EXPORT int SPI_CALL GetPluginInfo(int infono, char* buf, int buflen)
{
    return plugin::pluginInfo(infono, buf, buflen, {"00IN", "Selvarin WebP plug-in (libwebp)", "*.webp", "WebP"});
}

SPI_EXPORT int SPI_CALL IsSupported(const char*, const void* dw)
{
    return plugin::supportedEntry(dw, webpplugin::hasSignature);
}

SPI_EXPORT int SPI_CALL GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info)
{
    return plugin::headerInfoEntry<webpplugin::WebpHeader>(
        buf, len, flag, info, webpplugin::readHeader,
        [](const webpplugin::WebpHeader& h) {
            return plugin::PictureFacts{h.width, h.height, h.alpha ? 32 : 24};
        },
        webpplugin::describe);
}

SPI_EXPORT int SPI_CALL GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                                   SpiProgressCallback progress, intptr_t lData)
{
    return plugin::pictureEntry(buf, len, flag, pHBInfo, pHBm, progress, lData, webpplugin::decode);
}

// libwebp decodes with per-call state; its one-time CPU setup is locked.
SPI_EXPORT unsigned int SPI_CALL GetPluginCapabilities(void) { return SPI_CAPABILITY_THREAD_SAFE; }

}  // extern "C"
