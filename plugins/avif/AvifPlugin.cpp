// Entry points of the AVIF picture plug-in.
#include "AvifDecoder.h"
#include "Entry.h"

#include <avif/avif.h>

#define SELVARIN_STR2(x) #x
#define SELVARIN_STR(x) SELVARIN_STR2(x)

extern "C" {

SPI_EXPORT int SPI_CALL GetPluginInfo(int infono, char* buf, int buflen)
{
    return plugin::pluginInfo(infono, buf, buflen,
                              {"00IN",
                               "Selvarin AVIF plug-in (libavif " SELVARIN_STR(AVIF_VERSION_MAJOR) "." SELVARIN_STR(
                                   AVIF_VERSION_MINOR) "." SELVARIN_STR(AVIF_VERSION_PATCH) ")",
                               "*.avif;*.avifs", "AVIF"});
}

SPI_EXPORT int SPI_CALL IsSupported(const char*, const void* dw)
{
    return dw && avifplugin::hasSignature(static_cast<const std::uint8_t*>(dw), 2048) ? 1 : 0;
}

SPI_EXPORT int SPI_CALL GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info)
{
    return plugin::pictureInfoEntry(buf, len, flag, info,
                                    [](const std::uint8_t* data, std::size_t size, SpiPictureInfo& out, std::string& text) {
                                        avifplugin::AvifHeader h;
                                        const int rc = avifplugin::readHeader(data, size, h);
                                        if (rc != SPI_SUCCESS)
                                            return rc;
                                        out.width = static_cast<std::int32_t>(h.width);
                                        out.height = static_cast<std::int32_t>(h.height);
                                        out.colorDepth = static_cast<std::int16_t>(h.alpha ? 32 : 24);
                                        text = avifplugin::describe(h);
                                        return SPI_SUCCESS;
                                    });
}

SPI_EXPORT int SPI_CALL GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                                   SpiProgressCallback progress, intptr_t lData)
{
    return plugin::pictureEntry(buf, len, flag, pHBInfo, pHBm, progress, lData, avifplugin::decode);
}

}  // extern "C"
