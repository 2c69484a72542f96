#pragma once

#include "Dib.h"
#include "Input.h"
#include "PluginInfo.h"

#include <cstring>
#include <string>

namespace plugin {

// The bodies of GetPictureInfo and GetPicture that every picture plug-in shares: read the input,
// run the format's function, hand the result over. A format's function gets the input bytes.

// readInfo(data, size, SpiPictureInfo&, std::string& text) -> SPI code.
template <typename ReadInfo>
int pictureInfoEntry(const char* buf, std::intptr_t len, unsigned int flag, SpiPictureInfo* info, ReadInfo&& readInfo)
{
    return guarded([&] {
        if (!info)
            return SPI_OTHER_ERROR;
        Input input;
        int rc = input.open(buf, len, flag);
        if (rc != SPI_SUCCESS)
            return rc;
        SpiPictureInfo out;
        std::memset(&out, 0, sizeof out);
        std::string text;
        rc = readInfo(input.data(), input.size(), out, text);
        if (rc != SPI_SUCCESS)
            return rc;
        if (!text.empty() && !(out.hInfo = textBlock(text)))
            return SPI_NO_MEMORY;
        *info = out;
        return SPI_SUCCESS;
    });
}

// decode(data, size, DibPicture&, Progress&) -> SPI code.
template <typename Decode>
int pictureEntry(const char* buf, std::intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                 SpiProgressCallback progress, std::intptr_t lData, Decode&& decode)
{
    return guarded([&] {
        if (!pHBInfo || !pHBm)
            return SPI_OTHER_ERROR;
        *pHBInfo = 0;
        *pHBm = 0;
        Input input;
        int rc = input.open(buf, len, flag);
        if (rc != SPI_SUCCESS)
            return rc;
        DibPicture dib;
        Progress p(progress, lData);
        rc = decode(input.data(), input.size(), dib, p);
        if (rc != SPI_SUCCESS)
            return rc;
        return dib.handOver(pHBInfo, pHBm);
    });
}

// Pixels per metre as pixels per inch, for SpiPictureInfo's densities.
inline std::uint16_t perInch(std::uint32_t perMetre)
{
    const std::uint64_t dpi = (std::uint64_t{perMetre} * 254 + 5000) / 10000;
    return static_cast<std::uint16_t>(dpi > 0xFFFF ? 0xFFFF : dpi);
}

}  // namespace plugin
