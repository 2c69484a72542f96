#include "BenchPictures.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

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

const std::vector<std::uint8_t>& photoJpeg()
{
    static const std::vector<std::uint8_t> data = [] {
        const std::vector<std::uint8_t> rgb = photoPixels();
        jpeg_compress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_compress(&cinfo);
        unsigned char* out = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&cinfo, &out, &size);
        cinfo.image_width = kPictureWidth;
        cinfo.image_height = kPictureHeight;
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, 90, TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < cinfo.image_height) {
            JSAMPROW row = const_cast<JSAMPLE*>(&rgb[static_cast<std::size_t>(cinfo.next_scanline) * kPictureWidth * 3]);
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
        std::vector<std::uint8_t> bytes(out, out + size);
        jpeg_destroy_compress(&cinfo);
        std::free(out);
        return bytes;
    }();
    return data;
}

}  // namespace bench
