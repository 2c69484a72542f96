// Entry points of the JPEG XL picture plug-in.
#include "JxlDecoder.h"
#include "Entry.h"

#include <jxl/version.h>

#define SELVARIN_STR2(x) #x
#define SELVARIN_STR(x) SELVARIN_STR2(x)

extern "C" {

SPI_EXPORT int SPI_CALL GetPluginInfo(int infono, char* buf, int buflen)
{
    return plugin::pluginInfo(infono, buf, buflen,
                              {"00IN",
                               "Selvarin JPEG XL plug-in (libjxl " SELVARIN_STR(JPEGXL_MAJOR_VERSION) "." SELVARIN_STR(
                                   JPEGXL_MINOR_VERSION) "." SELVARIN_STR(JPEGXL_PATCH_VERSION) ")",
                               "*.jxl", "JPEG XL"});
}

SPI_EXPORT int SPI_CALL IsSupported(const char*, const void* dw)
{
    return dw && jxlplugin::hasSignature(static_cast<const std::uint8_t*>(dw), 2048) ? 1 : 0;
}

SPI_EXPORT int SPI_CALL GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info)
{
    return plugin::pictureInfoEntry(buf, len, flag, info,
                                    [](const std::uint8_t* data, std::size_t size, SpiPictureInfo& out, std::string& text) {
                                        jxlplugin::JxlHeader h;
                                        const int rc = jxlplugin::readHeader(data, size, h);
                                        if (rc != SPI_SUCCESS)
                                            return rc;
                                        out.width = static_cast<std::int32_t>(h.width);
                                        out.height = static_cast<std::int32_t>(h.height);
                                        out.colorDepth = static_cast<std::int16_t>(h.alpha ? 32 : h.colourChannels == 1 ? 8 : 24);
                                        text = jxlplugin::describe(h);
                                        return SPI_SUCCESS;
                                    });
}

SPI_EXPORT int SPI_CALL GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                                   SpiProgressCallback progress, intptr_t lData)
{
    return plugin::pictureEntry(buf, len, flag, pHBInfo, pHBm, progress, lData, jxlplugin::decode);
}

}  // extern "C"
