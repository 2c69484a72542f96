/* Test plug-in for decoding off the interface thread. Its pictures are "SLOW", a byte of steps,
 * a byte of width and one of height, then anything: a 24-bit picture whose every byte is the
 * sum of the input's bytes (255 steps: it crashes). GetPicture sleeps 10 ms a step, reporting progress after each, and
 * records the calls in globals the test reads through its own dlopen of the library. Built
 * twice: with SLOW_THREAD_SAFE it declares itself safe on any thread, without it it is a
 * plug-in written before that declaration existed. */
#include <selvarin/spi.h>

#include <pthread.h>
#include <stdatomic.h>
#include <string.h>
#include <time.h>

#define TEST_EXPORT __attribute__((visibility("default")))

/* GetPicture calls made, those made on another thread than the one that loaded the library,
 * and those running now. */
TEST_EXPORT atomic_int slowCalls;
TEST_EXPORT atomic_int slowCallsElsewhere;
TEST_EXPORT atomic_int slowRunning;
/* Progress calls that asked to stop. */
TEST_EXPORT atomic_int slowAborts;

static pthread_t loader;

__attribute__((constructor)) static void remember(void) { loader = pthread_self(); }

static int readHeader(const char* buf, intptr_t len, unsigned flag, int* steps, int* width, int* height)
{
    const unsigned char* p = (const unsigned char*)buf;
    if ((flag & SPI_INPUT_MASK) != SPI_INPUT_MEMORY || len < 7 || memcmp(buf, "SLOW", 4) != 0)
        return SPI_NOT_SUPPORT;
    *steps = p[4];
    *width = p[5];
    *height = p[6];
    return *width && *height ? SPI_SUCCESS : SPI_OUT_OF_ORDER;
}

SPI_EXPORT int GetPluginInfo(int infono, char* buf, int buflen)
{
    const char* texts[] = {"00IN", "slow test plug-in", "*.slow", "slow"};
    if (infono < 0 || infono > 3 || buflen < 1)
        return 0;
    strncpy(buf, texts[infono], (size_t)buflen - 1);
    buf[buflen - 1] = 0;
    return (int)strlen(buf);
}

SPI_EXPORT int IsSupported(const char* name, const void* dw)
{
    (void)name;
    return dw && memcmp(dw, "SLOW", 4) == 0;
}

SPI_EXPORT int GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info)
{
    int steps, width, height;
    const int rc = readHeader(buf, len, flag, &steps, &width, &height);
    if (rc != SPI_SUCCESS)
        return rc;
    info->width = width;
    info->height = height;
    info->colorDepth = 24;
    return SPI_SUCCESS;
}

SPI_EXPORT int GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                          SpiProgressCallback progress, intptr_t lData)
{
    int steps, width, height, rc;
    size_t row, i;
    unsigned char sum = 0;
    unsigned char* header;
    HLOCAL info, bits;
    const struct timespec pause = {0, 10 * 1000 * 1000};
    atomic_fetch_add(&slowCalls, 1);
    if (!pthread_equal(pthread_self(), loader))
        atomic_fetch_add(&slowCallsElsewhere, 1);
    rc = readHeader(buf, len, flag, &steps, &width, &height);
    if (rc != SPI_SUCCESS)
        return rc;
    /* 255 steps: a plug-in that crashes. */
    if (steps == 255)
        return *(volatile int*)(uintptr_t)len == 0 ? SPI_OTHER_ERROR : SPI_OUT_OF_ORDER;
    atomic_fetch_add(&slowRunning, 1);
    for (int s = 0; s <= steps; ++s) {
        if (s > 0)
            nanosleep(&pause, NULL);
        if (progress && progress(s, steps ? steps : 1, lData)) {
            atomic_fetch_add(&slowAborts, 1);
            atomic_fetch_sub(&slowRunning, 1);
            return SPI_ABORT;
        }
    }
    for (i = 0; i < (size_t)len; ++i)
        sum = (unsigned char)(sum + (unsigned char)buf[i]);
    row = ((size_t)width * 3 + 3) & ~(size_t)3;
    info = LocalAlloc(LMEM_ZEROINIT, 40);
    bits = LocalAlloc(LMEM_FIXED, row * (size_t)height);
    if (!info || !bits) {
        LocalFree(info);
        LocalFree(bits);
        atomic_fetch_sub(&slowRunning, 1);
        return SPI_NO_MEMORY;
    }
    header = LocalLock(info);
    header[0] = 40;
    memcpy(header + 4, &width, 4);
    memcpy(header + 8, &height, 4);
    header[12] = 1;
    header[14] = 24;
    {
        const uint32_t size = (uint32_t)(row * (size_t)height);
        memcpy(header + 20, &size, 4);
    }
    LocalUnlock(info);
    memset(LocalLock(bits), sum, row * (size_t)height);
    LocalUnlock(bits);
    *pHBInfo = info;
    *pHBm = bits;
    atomic_fetch_sub(&slowRunning, 1);
    return SPI_SUCCESS;
}

#ifdef SLOW_THREAD_SAFE
SPI_EXPORT unsigned int GetPluginCapabilities(void) { return SPI_CAPABILITY_THREAD_SAFE; }
#endif
