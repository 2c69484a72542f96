// Entry points of the HEIF picture plug-in.
#include "HeifDecoder.h"
#include "Entry.h"

#include <libheif/heif_version.h>

extern "C" {

SPI_EXPORT int SPI_CALL GetPluginInfo(int infono, char* buf, int buflen)
{
    return plugin::pluginInfo(infono, buf, buflen,
                              {"00IN", "Selvarin HEIF plug-in (libheif " LIBHEIF_VERSION ")", "*.heic;*.heif;*.hif",
                               "HEIF/HEIC"});
}

SPI_EXPORT int SPI_CALL IsSupported(const char*, const void* dw)
{
    return plugin::supportedEntry(dw, heifplugin::hasSignature);
}

SPI_EXPORT int SPI_CALL GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info)
{
    return plugin::headerInfoEntry<heifplugin::HeifHeader>(
        buf, len, flag, info, heifplugin::readHeader,
        [](const heifplugin::HeifHeader& h) {
            return plugin::PictureFacts{h.width, h.height, h.alpha ? 32 : 24};
        },
        heifplugin::describe);
}

SPI_EXPORT int SPI_CALL GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                                   SpiProgressCallback progress, intptr_t lData)
{
    return plugin::pictureEntry(buf, len, flag, pHBInfo, pHBm, progress, lData, heifplugin::decode);
}

// libheif keeps its state per context once it is initialised, which the decoder does once.
SPI_EXPORT unsigned int SPI_CALL GetPluginCapabilities(void) { return SPI_CAPABILITY_THREAD_SAFE; }

}  // extern "C"
