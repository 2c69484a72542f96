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
    return dw && heifplugin::hasSignature(static_cast<const std::uint8_t*>(dw), 2048) ? 1 : 0;
}

SPI_EXPORT int SPI_CALL GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info)
{
    return plugin::pictureInfoEntry(buf, len, flag, info,
                                    [](const std::uint8_t* data, std::size_t size, SpiPictureInfo& out, std::string& text) {
                                        heifplugin::HeifHeader h;
                                        const int rc = heifplugin::readHeader(data, size, h);
                                        if (rc != SPI_SUCCESS)
                                            return rc;
                                        out.width = h.width;
                                        out.height = h.height;
                                        out.colorDepth = static_cast<std::int16_t>(h.alpha ? 32 : 24);
                                        text = heifplugin::describe(h);
                                        return SPI_SUCCESS;
                                    });
}

SPI_EXPORT int SPI_CALL GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                                   SpiProgressCallback progress, intptr_t lData)
{
    return plugin::pictureEntry(buf, len, flag, pHBInfo, pHBm, progress, lData, heifplugin::decode);
}

}  // extern "C"
