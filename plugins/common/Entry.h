#pragma once

#include "Dib.h"
#include "Input.h"
#include "PluginInfo.h"

#include <cstdint>
#include <cstring>
#include <string>

// A format library's numeric version macros as text, for GetPluginInfo's description.
#define PLUGIN_STR2(x) #x
#define PLUGIN_STR(x) PLUGIN_STR2(x)

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

// Pixels per metre as pixels per inch, for SpiPictureInfo's densities.
inline std::uint16_t perInch(std::uint32_t perMetre)
{
    const std::uint64_t dpi = (std::uint64_t{perMetre} * 254 + 5000) / 10000;
    return static_cast<std::uint16_t>(dpi > 0xFFFF ? 0xFFFF : dpi);
}

// What GetPictureInfo reports of a format's header; a density of 0 is unknown.
struct PictureFacts {
    std::int64_t width = 0;  // as shown
    std::int64_t height = 0;
    int depth = 0;
    std::uint32_t xPerMetre = 0;
    std::uint32_t yPerMetre = 0;
};

// GetPictureInfo of a format whose reader fills a Header: readHeader(data, size, Header&) -> SPI
// code, facts(const Header&) -> PictureFacts, describe(const Header&) -> the text block. The
// readers bound the sizes they accept, so the narrowing below cannot lose anything.
template <typename Header, typename ReadHeader, typename Facts, typename Describe>
int headerInfoEntry(const char* buf, std::intptr_t len, unsigned int flag, SpiPictureInfo* info, ReadHeader&& readHeader,
                    Facts&& facts, Describe&& describe)
{
    return pictureInfoEntry(buf, len, flag, info,
                            [&](const std::uint8_t* data, std::size_t size, SpiPictureInfo& out, std::string& text) {
                                Header h;
                                const int rc = readHeader(data, size, h);
                                if (rc != SPI_SUCCESS)
                                    return rc;
                                const PictureFacts f = facts(h);
                                out.width = static_cast<std::int32_t>(f.width);
                                out.height = static_cast<std::int32_t>(f.height);
                                out.x_density = perInch(f.xPerMetre);
                                out.y_density = perInch(f.yPerMetre);
                                out.colorDepth = static_cast<std::int16_t>(f.depth);
                                text = describe(h);
                                return SPI_SUCCESS;
                            });
}

// IsSupported over the first 2 KB the host passes.
template <typename HasSignature>
int supportedEntry(const void* dw, HasSignature&& hasSignature)
{
    return dw && hasSignature(static_cast<const std::uint8_t*>(dw), std::size_t{2048}) ? 1 : 0;
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

}  // namespace plugin
