// Entry points of the TIFF picture plug-in.
#include "Entry.h"
#include "TiffDecoder.h"

extern "C" {

SPI_EXPORT int SPI_CALL GetPluginInfo(int infono, char* buf, int buflen)
{
    return plugin::pluginInfo(infono, buf, buflen, {"00IN", "Selvarin TIFF plug-in (libtiff)", "*.tif;*.tiff", "TIFF"});
}

SPI_EXPORT int SPI_CALL IsSupported(const char*, const void* dw)
{
    return dw && tiffplugin::hasSignature(static_cast<const std::uint8_t*>(dw), 2048) ? 1 : 0;
}

SPI_EXPORT int SPI_CALL GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info)
{
    return plugin::pictureInfoEntry(buf, len, flag, info,
                                    [](const std::uint8_t* data, std::size_t size, SpiPictureInfo& out, std::string& text) {
                                        tiffplugin::TiffHeader h;
                                        const int rc = tiffplugin::readHeader(data, size, h);
                                        if (rc != SPI_SUCCESS)
                                            return rc;
                                        out.width = static_cast<std::int32_t>(h.width);
                                        out.height = static_cast<std::int32_t>(h.height);
                                        out.x_density = plugin::perInch(h.xPerMetre);
                                        out.y_density = plugin::perInch(h.yPerMetre);
                                        out.colorDepth = static_cast<std::int16_t>(h.bitsPerSample * h.samplesPerPixel);
                                        text = tiffplugin::describe(h);
                                        return SPI_SUCCESS;
                                    });
}

SPI_EXPORT int SPI_CALL GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                                   SpiProgressCallback progress, intptr_t lData)
{
    return plugin::pictureEntry(buf, len, flag, pHBInfo, pHBm, progress, lData, tiffplugin::decode);
}

}  // extern "C"
