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
    return dw && webpplugin::hasSignature(static_cast<const std::uint8_t*>(dw), 2048) ? 1 : 0;
}

SPI_EXPORT int SPI_CALL GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info)
{
    return plugin::pictureInfoEntry(buf, len, flag, info,
                                    [](const std::uint8_t* data, std::size_t size, SpiPictureInfo& out, std::string& text) {
                                        webpplugin::WebpHeader h;
                                        const int rc = webpplugin::readHeader(data, size, h);
                                        if (rc != SPI_SUCCESS)
                                            return rc;
                                        out.width = h.width;
                                        out.height = h.height;
                                        out.colorDepth = static_cast<std::int16_t>(h.alpha ? 32 : 24);
                                        text = webpplugin::describe(h);
                                        return SPI_SUCCESS;
                                    });
}

SPI_EXPORT int SPI_CALL GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                                   SpiProgressCallback progress, intptr_t lData)
{
    return plugin::pictureEntry(buf, len, flag, pHBInfo, pHBm, progress, lData, webpplugin::decode);
}

}  // extern "C"
