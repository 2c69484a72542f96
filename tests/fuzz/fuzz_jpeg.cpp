#include "image/JpegCodec.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const image::Bytes bytes(data, size);
    image::isSupportedJpeg(bytes);
    const auto info = image::pictureInfoJpeg(bytes);
    const auto pair = image::loadJpeg(bytes);
    if (pair && !info)
        std::abort();  // whatever decodes has a readable header
    return 0;
}
