// Entry points of the JPEG XL picture plug-in.
#include "JxlDecoder.h"
#include "Entry.h"

#include <jxl/version.h>

extern "C" {

SPI_EXPORT int SPI_CALL GetPluginInfo(int infono, char* buf, int buflen)
{
    return plugin::pluginInfo(infono, buf, buflen,
                              {"00IN",
                               "Selvarin JPEG XL plug-in (libjxl " PLUGIN_STR(JPEGXL_MAJOR_VERSION) "." PLUGIN_STR(
                                   JPEGXL_MINOR_VERSION) "." PLUGIN_STR(JPEGXL_PATCH_VERSION) ")",
                               "*.jxl", "JPEG XL"});
}

SPI_EXPORT int SPI_CALL IsSupported(const char*, const void* dw)
{
    return plugin::supportedEntry(dw, jxlplugin::hasSignature);
}

SPI_EXPORT int SPI_CALL GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info)
{
    return plugin::headerInfoEntry<jxlplugin::JxlHeader>(
        buf, len, flag, info, jxlplugin::readHeader,
        [](const jxlplugin::JxlHeader& h) {
            return plugin::PictureFacts{h.width, h.height, h.alpha ? 32 : h.colourChannels == 1 ? 8 : 24};
        },
        jxlplugin::describe);
}

SPI_EXPORT int SPI_CALL GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                                   SpiProgressCallback progress, intptr_t lData)
{
    return plugin::pictureEntry(buf, len, flag, pHBInfo, pHBm, progress, lData, jxlplugin::decode);
}

// libjxl keeps its state per decoder; no shared runner is used.
SPI_EXPORT unsigned int SPI_CALL GetPluginCapabilities(void) { return SPI_CAPABILITY_THREAD_SAFE; }

}  // extern "C"
