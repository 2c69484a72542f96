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
    return plugin::supportedEntry(dw, tiffplugin::hasSignature);
}

SPI_EXPORT int SPI_CALL GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info)
{
    return plugin::headerInfoEntry<tiffplugin::TiffHeader>(
        buf, len, flag, info, tiffplugin::readHeader,
        [](const tiffplugin::TiffHeader& h) {
            return plugin::PictureFacts{h.width, h.height, h.bitsPerSample * h.samplesPerPixel, h.xPerMetre, h.yPerMetre};
        },
        tiffplugin::describe);
}

SPI_EXPORT int SPI_CALL GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                                   SpiProgressCallback progress, intptr_t lData)
{
    return plugin::pictureEntry(buf, len, flag, pHBInfo, pHBm, progress, lData, tiffplugin::decode);
}

// libtiff keeps its state per handle, and the handlers for errors are set per handle.
SPI_EXPORT unsigned int SPI_CALL GetPluginCapabilities(void) { return SPI_CAPABILITY_THREAD_SAFE; }

}  // extern "C"
