#include "BenchPictures.h"

#include "JpegFixtures.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <jpeglib.h>
#include <pixman.h>

namespace bench {

std::vector<std::uint8_t> photoPixels()
{
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(kPictureWidth) * kPictureHeight * 3);
    std::uint32_t noise = 12345;
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) {
            noise = noise * 1103515245u + 12345u;
            std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * kPictureWidth + x) * 3];
            const int n = static_cast<int>((noise >> 16) & 15);
            p[0] = static_cast<std::uint8_t>((x * 255 / kPictureWidth + n) & 0xFF);
            p[1] = static_cast<std::uint8_t>((y * 255 / kPictureHeight + n) & 0xFF);
            p[2] = static_cast<std::uint8_t>(((x + y) / 32 * 7 + n) & 0xFF);
        }
    }
    return rgb;
}

std::vector<std::uint8_t> encodeJpeg(const std::vector<std::uint8_t>& rgb, int width, int height)
{
    fixtures::JpegOptions options;
    options.quality = 90;
    options.fullChroma = false;  // 4:2:0, as cameras write
    return fixtures::encodeJpeg(width, height, 3, rgb, options);
}

const std::vector<std::uint8_t>& photoJpeg()
{
    static const std::vector<std::uint8_t> data = encodeJpeg(photoPixels(), kPictureWidth, kPictureHeight);
    return data;
}

void decodeAndScale(const std::uint8_t* jpeg, std::size_t size, BareLayout layout, std::uint32_t* frame, int frameWidth,
                    int frameHeight, double scale)
{
    const bool wide = layout == BareLayout::Bgrx32;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = wide ? JCS_EXT_BGRX : JCS_EXT_BGR;
    cinfo.dct_method = JDCT_FLOAT;
    jpeg_start_decompress(&cinfo);
    const int w = static_cast<int>(cinfo.output_width), h = static_cast<int>(cinfo.output_height);
    const int stride = (w * (wide ? 4 : 3) + 3) & ~3;
    std::unique_ptr<std::uint8_t[]> pixels(new std::uint8_t[static_cast<std::size_t>(stride) * h]);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels.get() + static_cast<std::size_t>(cinfo.output_scanline) * stride;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);

    pixman_image_t* src = pixman_image_create_bits(wide ? PIXMAN_x8r8g8b8 : PIXMAN_r8g8b8, w, h,
                                                   reinterpret_cast<std::uint32_t*>(pixels.get()), stride);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, frameWidth, frameHeight, frame, frameWidth * 4);
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(1.0 / scale), pixman_double_to_fixed(1.0 / scale));
    pixman_image_set_transform(src, &t);
    pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, frameWidth, frameHeight);
    pixman_image_unref(src);
    pixman_image_unref(dst);
}

}  // namespace bench
