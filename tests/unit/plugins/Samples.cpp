#include "Samples.h"

namespace samples {

const std::vector<Format>& formats()
{
    static const std::vector<Format> list = {
#ifdef SELVARIN_TEST_PNG
        {"png", png, pngReference, 0, pngVariants},
#endif
#ifdef SELVARIN_TEST_GIF
        {"gif", gif, gifReference, -1, gifVariants},
#endif
#ifdef SELVARIN_TEST_WEBP
        {"webp", webp, webpReference, 0, webpVariants},
#endif
#ifdef SELVARIN_TEST_TIFF
        {"tiff", tiff, tiffReference, 0, tiffVariants},
#endif
#ifdef SELVARIN_TEST_AVIF
        {"avif", avif, avifReference, 40, avifVariants},
#endif
#ifdef SELVARIN_TEST_HEIF
        {"heif", heif, heifReference, 40, heifVariants},
#endif
#ifdef SELVARIN_TEST_JXL
        {"jxl", jxl, jxlReference, 0, jxlVariants},
#endif
    };
    return list;
}

}  // namespace samples
