/* Test plug-in that returns error codes, invalid handles and blocks that lie about
 * themselves. The input (memory or file content) names the behaviour, e.g. "code 4",
 * "stale", "same", "short", "bigsize", "colours", "nul", "noterm", "ok". */
#include <selvarin/spi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void modeOf(const char* buf, intptr_t len, unsigned flag, char* mode, size_t room)
{
    size_t n = 0;
    if ((flag & SPI_INPUT_MASK) == SPI_INPUT_MEMORY) {
        n = (size_t)len < room - 1 ? (size_t)len : room - 1;
        memcpy(mode, buf, n);
    } else {
        FILE* f = fopen(buf, "rb");
        if (f) {
            n = fread(mode, 1, room - 1, f);
            fclose(f);
        }
    }
    mode[n] = 0;
}

static HLOCAL block(const void* data, size_t n)
{
    HLOCAL h = LocalAlloc(LMEM_MOVEABLE, n);
    if (h && n)
        memcpy(LocalLock(h), data, n), LocalUnlock(h);
    return h;
}

static HLOCAL staleHandle(void)
{
    HLOCAL h = LocalAlloc(LMEM_MOVEABLE, 8);
    LocalFree(h);
    return h;
}

/* A BITMAPINFOHEADER of a w x h picture. */
static void header(unsigned char* p, int w, int h, int bits, unsigned compression, unsigned imageSize, unsigned used)
{
    memset(p, 0, 40);
    p[0] = 40;
    memcpy(p + 4, &w, 4);
    memcpy(p + 8, &h, 4);
    p[12] = 1;
    p[14] = (unsigned char)bits;
    memcpy(p + 16, &compression, 4);
    memcpy(p + 20, &imageSize, 4);
    memcpy(p + 32, &used, 4);
}

SPI_EXPORT int GetPluginInfo(int infono, char* buf, int buflen)
{
    if (infono == 0) {
        /* The version entry, longer than its five bytes. */
        snprintf(buf, (size_t)buflen, "00INXYZ");
        return 7;
    }
    if (infono == 1) {
        /* Fills the whole buffer without a terminator. */
        memset(buf, 'a', (size_t)buflen);
        return buflen;
    }
    if (infono == -1) {
        snprintf(buf, (size_t)buflen, "minus one");
        return 9;
    }
    return 0;
}

SPI_EXPORT int IsSupported(const char* filename, const void* dw)
{
    (void)filename;
    return ((const unsigned char*)dw)[0] == 'Y' && ((const unsigned char*)dw)[2047] == 0;
}

SPI_EXPORT int GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info)
{
    char mode[64];
    unsigned char* bytes = (unsigned char*)info;
    modeOf(buf, len, flag, mode, sizeof mode);
    /* The bytes beyond the record were cleared too. */
    if (bytes[26] != 0 || bytes[27] != 0 || info->width != 0)
        return SPI_OTHER_ERROR;
    if (strncmp(mode, "code ", 5) == 0)
        return atoi(mode + 5);
    info->width = 3;
    info->height = 2;
    info->colorDepth = 24;
    info->x_density = 72;
    info->y_density = 96;
    info->left = -1;
    if (strcmp(mode, "stale") == 0)
        info->hInfo = staleHandle();
    else if (strcmp(mode, "noterm") == 0)
        info->hInfo = block("abc", 3); /* no terminator inside the block */
    else if (strcmp(mode, "global") == 0) {
        info->hInfo = GlobalAlloc(GMEM_MOVEABLE, 4);
        memcpy(GlobalLock(info->hInfo), "xyz", 4);
        GlobalUnlock(info->hInfo);
    } else
        info->hInfo = 0;
    return SPI_SUCCESS;
}

SPI_EXPORT int GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                          SpiProgressCallback progress, intptr_t lData)
{
    char mode[64];
    unsigned char h[40 + 4 * 256];
    unsigned char bits[24];
    (void)progress;
    (void)lData;
    modeOf(buf, len, flag, mode, sizeof mode);
    memset(bits, 0x7F, sizeof bits);
    if (strncmp(mode, "code ", 5) == 0) {
        *pHBInfo = block("x", 1);
        *pHBm = block("y", 1);
        return atoi(mode + 5);
    }
    if (strcmp(mode, "null") == 0) {
        *pHBInfo = 0;
        *pHBm = block(bits, sizeof bits);
        return SPI_SUCCESS;
    }
    if (strcmp(mode, "stale") == 0) {
        *pHBInfo = block("x", 1);
        *pHBm = staleHandle();
        return SPI_SUCCESS;
    }
    if (strcmp(mode, "same") == 0) {
        header(h, 2, 2, 32, 0, 16, 0);
        *pHBInfo = *pHBm = block(h, 40);
        return SPI_SUCCESS;
    }
    if (strcmp(mode, "short") == 0) {
        /* A header block too small to hold the header. */
        *pHBInfo = block("\x28\0\0\0\3\0", 6);
        *pHBm = block(bits, sizeof bits);
        return SPI_SUCCESS;
    }
    if (strcmp(mode, "bigsize") == 0) {
        /* Claims far more bits than the block holds, and more rows than it has. */
        header(h, 4, 1000, 24, 0, 0x7FFFFFF0u, 0);
        *pHBInfo = block(h, 40);
        *pHBm = block(bits, sizeof bits);
        return SPI_SUCCESS;
    }
    if (strcmp(mode, "colours") == 0) {
        /* An 8-bit header claiming four billion colours, in a block of 40 bytes. */
        header(h, 2, 2, 8, 0, 8, 0xFFFFFFFFu);
        *pHBInfo = block(h, 40);
        *pHBm = block(bits, 8);
        return SPI_SUCCESS;
    }
    if (strcmp(mode, "palette") == 0) {
        /* An 8-bit picture with two colours: the header Buffer is 44 + 4 * 2 bytes long. */
        header(h, 2, 2, 8, 0, 8, 2);
        memset(h + 40, 0xAA, 4 * 4);
        *pHBInfo = block(h, 40 + 4 * 4);
        *pHBm = block(bits, 12);
        return SPI_SUCCESS;
    }
    /* "ok": a 24-bit 3 x 2 picture whose bits block is larger than its image size. */
    header(h, 3, 2, 24, 0, 24, 0);
    *pHBInfo = block(h, 40);
    *pHBm = block(bits, sizeof bits);
    {
        HLOCAL bigger = LocalReAlloc(*pHBm, 100, LMEM_MOVEABLE);
        (void)bigger;
    }
    return SPI_SUCCESS;
}

SPI_EXPORT int GetArchiveInfo(const char* buf, intptr_t len, unsigned int flag, HLOCAL* lphInf)
{
    char mode[64];
    modeOf(buf, len, flag, mode, sizeof mode);
    if (strncmp(mode, "code ", 5) == 0) {
        *lphInf = LocalAlloc(LHND, sizeof(SpiFileInfo));
        return atoi(mode + 5);
    }
    if (strcmp(mode, "global") == 0) {
        *lphInf = GlobalAlloc(GHND, sizeof(SpiFileInfo));
        return SPI_SUCCESS;
    }
    *lphInf = staleHandle();
    return SPI_SUCCESS;
}

SPI_EXPORT int GetFile(const char* src, intptr_t len, char* dest, unsigned int flag, SpiProgressCallback progress,
                       intptr_t lData)
{
    char mode[64];
    (void)progress;
    (void)lData;
    modeOf(src, (flag & SPI_INPUT_MASK) == SPI_INPUT_MEMORY ? len : 0, flag & SPI_INPUT_MASK, mode, sizeof mode);
    if (strncmp(mode, "code ", 5) == 0) {
        *(HLOCAL*)dest = block("x", 1);
        return atoi(mode + 5);
    }
    if (strcmp(mode, "stale") == 0) {
        *(HLOCAL*)dest = staleHandle();
        return SPI_SUCCESS;
    }
    /* Four bytes, whatever size was asked for. */
    *(HLOCAL*)dest = block("data", 4);
    return SPI_SUCCESS;
}
