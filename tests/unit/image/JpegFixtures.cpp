#include "JpegFixtures.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>

namespace fixtures {

std::vector<std::uint8_t> encodeJpeg(int width, int height, int components, const std::vector<std::uint8_t>& pixels,
                                     const JpegOptions& options)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);  // errors exit the test program: fixtures must be valid
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    if (components == 4)
        jpeg_set_colorspace(&cinfo, options.ycck ? JCS_YCCK : JCS_CMYK);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.fullChroma) {
        for (int c = 0; c < cinfo.num_components; ++c)
            cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    }
    if (options.progressive)
        jpeg_simple_progression(&cinfo);
    cinfo.restart_in_rows = options.restartRows;
    jpeg_start_compress(&cinfo, TRUE);
    const int stride = width * components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(pixels.data() + static_cast<std::size_t>(cinfo.next_scanline) * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<std::uint8_t> data(out, out + size);
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return data;
}

std::vector<std::uint8_t> testPattern(int width, int height, int components)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * components);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = pixels.data() + (static_cast<std::size_t>(y) * width + x) * components;
            for (int c = 0; c < components; ++c)
                p[c] = static_cast<std::uint8_t>((x * 37 + y * 91 + c * 80) & 0xFF);
        }
    }
    return pixels;
}

}  // namespace fixtures
