/* Test plug-in that hands back a prepared DIB as it is: the input (memory only) is a 32-bit
 * little-endian header length, that many header bytes, then the bits. Used where the cost or
 * the checks of the host's side alone are measured or fuzzed. */
#include <selvarin/spi.h>

#include <string.h>

static HLOCAL copyOf(const char* data, size_t n)
{
    HLOCAL h = LocalAlloc(LMEM_MOVEABLE, n);
    void* p;
    if (!h)
        return 0;
    p = LocalLock(h);
    if (n)
        memcpy(p, data, n);
    LocalUnlock(h);
    return h;
}

SPI_EXPORT int GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                          SpiProgressCallback progress, intptr_t lData)
{
    uint32_t headerBytes;
    if ((flag & SPI_INPUT_MASK) != SPI_INPUT_MEMORY || len < 4)
        return SPI_NOT_SUPPORT;
    memcpy(&headerBytes, buf, 4);
    if (headerBytes > (uint64_t)len - 4)
        return SPI_OUT_OF_ORDER;
    if (progress && progress(0, 1, lData))
        return SPI_ABORT;
    *pHBInfo = copyOf(buf + 4, headerBytes);
    *pHBm = copyOf(buf + 4 + headerBytes, (size_t)len - 4 - headerBytes);
    if (!*pHBInfo || !*pHBm) {
        LocalFree(*pHBInfo);
        LocalFree(*pHBm);
        return SPI_NO_MEMORY;
    }
    if (progress && progress(1, 1, lData)) {
        LocalFree(*pHBInfo);
        LocalFree(*pHBm);
        return SPI_ABORT;
    }
    return SPI_SUCCESS;
}
