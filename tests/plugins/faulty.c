/* Test plug-in that crashes: a null pointer write in GetPicture, a division by zero in
 * GetPictureInfo, a stack overflow in GetFile, a wild read in GetArchiveInfo. GetPluginInfo
 * works, so that a test can see that a faulted plug-in is not called again. */
#include <selvarin/spi.h>

#include <stdio.h>
#include <string.h>

static int* volatile nowhere = NULL;
static volatile int zero = 0;
static volatile int forever = 1;

SPI_EXPORT int GetPluginInfo(int infono, char* buf, int buflen)
{
    if (infono != 0)
        return 0;
    snprintf(buf, (size_t)buflen, "00IN");
    return 4;
}

SPI_EXPORT int IsSupported(const char* filename, const void* dw)
{
    (void)filename;
    (void)dw;
    return 1;
}

SPI_EXPORT int GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info)
{
    (void)buf;
    (void)flag;
    info->width = (int32_t)(len / zero);
    return SPI_SUCCESS;
}

SPI_EXPORT int GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                          SpiProgressCallback progress, intptr_t lData)
{
    (void)buf;
    (void)len;
    (void)flag;
    /* Holds a lock and a block when it dies, as a real decoder would. */
    *pHBInfo = LocalAlloc(LMEM_MOVEABLE, 40);
    LocalLock(*pHBInfo);
    if (progress)
        progress(0, 1, lData);
    *nowhere = 1;
    *pHBm = 0;
    return SPI_SUCCESS;
}

static int recurse(int depth)
{
    volatile char frame[4096];
    frame[0] = (char)depth;
    return forever ? recurse(depth + 1) + frame[0] : frame[0];
}

SPI_EXPORT int GetFile(const char* src, intptr_t len, char* dest, unsigned int flag, SpiProgressCallback progress,
                       intptr_t lData)
{
    (void)src;
    (void)dest;
    (void)flag;
    (void)progress;
    (void)lData;
    return recurse((int)len);
}

SPI_EXPORT int GetArchiveInfo(const char* buf, intptr_t len, unsigned int flag, HLOCAL* lphInf)
{
    (void)len;
    (void)flag;
    (void)buf;
    *lphInf = (HLOCAL)(uintptr_t)*nowhere;
    return SPI_SUCCESS;
}
