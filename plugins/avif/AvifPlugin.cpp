// Entry points of the AVIF picture plug-in.
#include "AvifDecoder.h"
#include "Entry.h"

#include <avif/avif.h>

extern "C" {

SPI_EXPORT int SPI_CALL GetPluginInfo(int infono, char* buf, int buflen)
{
    return plugin::pluginInfo(infono, buf, buflen,
                              {"00IN",
                               "Selvarin AVIF plug-in (libavif " PLUGIN_STR(AVIF_VERSION_MAJOR) "." PLUGIN_STR(
                                   AVIF_VERSION_MINOR) "." PLUGIN_STR(AVIF_VERSION_PATCH) ")",
                               "*.avif;*.avifs", "AVIF"});
}

SPI_EXPORT int SPI_CALL IsSupported(const char*, const void* dw)
{
    return plugin::supportedEntry(dw, avifplugin::hasSignature);
}

SPI_EXPORT int SPI_CALL GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info)
{
    return plugin::headerInfoEntry<avifplugin::AvifHeader>(
        buf, len, flag, info, avifplugin::readHeader,
        [](const avifplugin::AvifHeader& h) {
            return plugin::PictureFacts{h.width, h.height, h.alpha ? 32 : 24};
        },
        avifplugin::describe);
}

SPI_EXPORT int SPI_CALL GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                                   SpiProgressCallback progress, intptr_t lData)
{
    return plugin::pictureEntry(buf, len, flag, pHBInfo, pHBm, progress, lData, avifplugin::decode);
}

// libavif and its AV1 decoders keep their state per decoder.
SPI_EXPORT unsigned int SPI_CALL GetPluginCapabilities(void) { return SPI_CAPABILITY_THREAD_SAFE; }

}  // extern "C"
