/* An example image plug-in: binary portable pixmaps (P6, 8 bits per sample).
 * Comment lines of the file become the picture's info text; GetPicture reports its progress
 * row by row and stops when the viewer asks it to. */
#include <selvarin/spi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef struct {
    const unsigned char* data; /* the whole file */
    size_t size;
    unsigned char* owned;      /* set when the plug-in read the file itself */
} Input;

typedef struct {
    unsigned width, height;
    size_t pixels;             /* offset of the first sample */
    char comment[512];
} Header;

static int openInput(const char* buf, intptr_t len, unsigned flag, Input* in)
{
    memset(in, 0, sizeof *in);
    if ((flag & SPI_INPUT_MASK) == SPI_INPUT_MEMORY) {
        in->data = (const unsigned char*)buf;
        in->size = (size_t)len;
        return SPI_SUCCESS;
    }
    {
        FILE* f = fopen(buf, "rb");
        long n;
        if (!f)
            return SPI_FILE_READ_ERROR;
        /* In a file, `len` is where the picture starts. */
        if (fseek(f, 0, SEEK_END) != 0 || (n = ftell(f)) < len || fseek(f, (long)len, SEEK_SET) != 0) {
            fclose(f);
            return SPI_FILE_READ_ERROR;
        }
        in->size = (size_t)(n - len);
        in->owned = malloc(in->size ? in->size : 1);
        if (!in->owned || fread(in->owned, 1, in->size, f) != in->size) {
            free(in->owned);
            fclose(f);
            return SPI_FILE_READ_ERROR;
        }
        fclose(f);
        in->data = in->owned;
    }
    return SPI_SUCCESS;
}

/* Reads one header number, collecting comments on the way. */
static int number(const Input* in, size_t* at, unsigned* out, Header* h)
{
    unsigned long value = 0;
    int digits = 0;
    for (;;) {
        if (*at >= in->size)
            return 0;
        if (in->data[*at] == '#') {
            size_t used = strlen(h->comment);
            ++*at;
            while (*at < in->size && in->data[*at] == ' ')
                ++*at;
            if (used && used + 1 < sizeof h->comment)
                h->comment[used++] = '\n';
            while (*at < in->size && in->data[*at] != '\n') {
                if (used + 1 < sizeof h->comment)
                    h->comment[used++] = (char)in->data[*at];
                ++*at;
            }
            h->comment[used] = 0;
        } else if (strchr(" \t\r\n", in->data[*at])) {
            ++*at;
        } else {
            break;
        }
    }
    while (*at < in->size && in->data[*at] >= '0' && in->data[*at] <= '9') {
        value = value * 10 + (unsigned long)(in->data[*at] - '0');
        if (value > 65535)
            return 0;
        ++*at;
        ++digits;
    }
    *out = (unsigned)value;
    return digits > 0;
}

static int readHeader(const Input* in, Header* h)
{
    size_t at = 2;
    unsigned maxval = 0;
    memset(h, 0, sizeof *h);
    if (in->size < 3 || in->data[0] != 'P' || in->data[1] != '6')
        return SPI_NOT_SUPPORT;
    if (!number(in, &at, &h->width, h) || !number(in, &at, &h->height, h) || !number(in, &at, &maxval, h))
        return SPI_OUT_OF_ORDER;
    if (h->width == 0 || h->height == 0 || maxval == 0 || maxval > 255)
        return SPI_NOT_SUPPORT;
    h->pixels = at + 1; /* one whitespace byte ends the header */
    if (h->pixels > in->size || (in->size - h->pixels) / 3 / h->width < h->height)
        return SPI_OUT_OF_ORDER;
    return SPI_SUCCESS;
}

SPI_EXPORT int GetPluginInfo(int infono, char* buf, int buflen)
{
    static const char* const texts[] = {"00IN", "PPM example plug-in", "*.ppm;*.pnm", "Portable pixmap"};
    if (infono < 0 || infono >= 4 || buflen <= 0)
        return 0;
    snprintf(buf, (size_t)buflen, "%s", texts[infono]);
    return (int)strlen(buf);
}

SPI_EXPORT int IsSupported(const char* filename, const void* dw)
{
    const unsigned char* head = dw;
    (void)filename;
    return head[0] == 'P' && head[1] == '6' && strchr(" \t\r\n", head[2]) && head[2] != 0;
}

SPI_EXPORT int GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info)
{
    Input in;
    Header h;
    int rc = openInput(buf, len, flag, &in);
    if (rc != SPI_SUCCESS)
        return rc;
    rc = readHeader(&in, &h);
    free(in.owned);
    if (rc != SPI_SUCCESS)
        return rc;
    info->width = (int32_t)h.width;
    info->height = (int32_t)h.height;
    info->colorDepth = 24;
    if (h.comment[0]) {
        size_t n = strlen(h.comment) + 1;
        info->hInfo = LocalAlloc(LMEM_MOVEABLE, n);
        if (info->hInfo) {
            memcpy(LocalLock(info->hInfo), h.comment, n);
            LocalUnlock(info->hInfo);
        }
    }
    return SPI_SUCCESS;
}

SPI_EXPORT int GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                          SpiProgressCallback progress, intptr_t lData)
{
    Input in;
    Header h;
    size_t stride, y, x;
    unsigned char* header;
    unsigned char* bits;
    int32_t value;
    int rc = openInput(buf, len, flag, &in);
    if (rc != SPI_SUCCESS)
        return rc;
    rc = readHeader(&in, &h);
    if (rc != SPI_SUCCESS) {
        free(in.owned);
        return rc;
    }
    /* Rows of blue, green, red, padded to four bytes; width and height are at most 65535. */
    stride = ((size_t)h.width * 3 + 3) & ~(size_t)3;
    *pHBInfo = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, 40);
    *pHBm = LocalAlloc(LMEM_MOVEABLE, stride * h.height);
    if (!*pHBInfo || !*pHBm) {
        rc = SPI_NO_MEMORY;
        goto fail;
    }
    header = LocalLock(*pHBInfo);
    value = 40;
    memcpy(header, &value, 4);
    value = (int32_t)h.width;
    memcpy(header + 4, &value, 4);
    value = (int32_t)h.height;
    memcpy(header + 8, &value, 4);
    header[12] = 1;  /* planes */
    header[14] = 24; /* bits per pixel */
    value = (int32_t)(stride * h.height);
    memcpy(header + 20, &value, 4);
    LocalUnlock(*pHBInfo);

    bits = LocalLock(*pHBm);
    for (y = 0; y < h.height; ++y) {
        const unsigned char* from = in.data + h.pixels + y * h.width * 3;
        unsigned char* to = bits + (h.height - 1 - y) * stride; /* bottom-up */
        if (progress && progress((int)y, (int)h.height, lData)) {
            LocalUnlock(*pHBm);
            rc = SPI_ABORT;
            goto fail;
        }
        for (x = 0; x < h.width; ++x) {
            to[3 * x] = from[3 * x + 2];
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x];
        }
        memset(to + 3 * h.width, 0, stride - 3 * h.width);
    }
    LocalUnlock(*pHBm);
    free(in.owned);
    if (progress && progress((int)h.height, (int)h.height, lData)) {
        rc = SPI_ABORT;
        goto fail_freed_input;
    }
    return SPI_SUCCESS;

fail:
    free(in.owned);
fail_freed_input:
    LocalFree(*pHBInfo);
    LocalFree(*pHBm);
    *pHBInfo = *pHBm = 0;
    return rc;
}

/* Every call keeps its state in its own variables, so the viewer may also decode with this
 * plug-in on a background thread, ahead of the picture's turn. */
SPI_EXPORT unsigned int GetPluginCapabilities(void) { return SPI_CAPABILITY_THREAD_SAFE; }
