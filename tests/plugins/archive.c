/* Test archive plug-in. The "archive" is a text, one line per entry record:
 *     method|position|compsize|filesize|timestamp|path|filename|crc
 * and directives that shape the listing the plug-in hands back:
 *     !code N     return N from GetArchiveInfo (the list is still made)
 *     !nolist     return no handle
 *     !stale      return a handle that has been freed
 *     !noend      leave the end record out, so that the list fills its block exactly
 * GetFile returns, as the extracted bytes, a text telling what it was given:
 *     "file:<path>@<position>" or "memory:<len>:<first bytes>". */
#include <selvarin/spi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char* readInput(const char* buf, intptr_t len, unsigned flag, size_t* size)
{
    char* text;
    if ((flag & SPI_INPUT_MASK) == SPI_INPUT_MEMORY) {
        text = malloc((size_t)len + 1);
        if (!text)
            return NULL;
        memcpy(text, buf, (size_t)len);
        *size = (size_t)len;
    } else {
        FILE* f = fopen(buf, "rb");
        long n;
        if (!f)
            return NULL;
        fseek(f, 0, SEEK_END);
        n = ftell(f);
        fseek(f, 0, SEEK_SET);
        text = malloc((size_t)n + 1);
        if (!text || fread(text, 1, (size_t)n, f) != (size_t)n) {
            free(text);
            fclose(f);
            return NULL;
        }
        fclose(f);
        *size = (size_t)n;
    }
    text[*size] = 0;
    return text;
}

static void copyField(char* dest, size_t room, const char* from, size_t n)
{
    if (n > room)
        n = room;
    memcpy(dest, from, n);
}

static const char* nextField(const char* p, const char* end, const char** fieldEnd)
{
    const char* q = p;
    while (q < end && *q != '|')
        ++q;
    *fieldEnd = q;
    return q < end ? q + 1 : q;
}

SPI_EXPORT int GetPluginInfo(int infono, char* buf, int buflen)
{
    static const char* const texts[] = {"00AM", "Selvarin test archive plug-in", "*.tar", "Test archive"};
    if (infono < 0 || infono >= 4 || buflen <= 0)
        return 0;
    snprintf(buf, (size_t)buflen, "%s", texts[infono]);
    return (int)strlen(buf);
}

SPI_EXPORT int IsSupported(const char* filename, const void* dw)
{
    (void)filename;
    return memcmp(dw, "!archive", 8) == 0;
}

SPI_EXPORT int GetArchiveInfo(const char* buf, intptr_t len, unsigned int flag, HLOCAL* lphInf)
{
    size_t size = 0;
    char* text = readInput(buf, len, flag, &size);
    int code = SPI_SUCCESS, noList = 0, stale = 0, noEnd = 0;
    size_t count = 0, i = 0;
    const char* p;
    HLOCAL list;
    SpiFileInfo* records;
    if (!text)
        return SPI_FILE_READ_ERROR;
    for (p = text; *p; ++p)
        if (*p == '\n')
            ++count;
    list = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, (count + 1) * sizeof(SpiFileInfo));
    if (!list) {
        free(text);
        return SPI_NO_MEMORY;
    }
    records = LocalLock(list);
    for (p = text; *p;) {
        const char* lineEnd = strchr(p, '\n');
        if (!lineEnd)
            lineEnd = p + strlen(p);
        if (*p == '!') {
            if (strncmp(p, "!code ", 6) == 0)
                code = atoi(p + 6);
            else if (strncmp(p, "!nolist", 7) == 0)
                noList = 1;
            else if (strncmp(p, "!stale", 6) == 0)
                stale = 1;
            else if (strncmp(p, "!noend", 6) == 0)
                noEnd = 1;
        } else if (lineEnd > p) {
            SpiFileInfo* r = &records[i++];
            const char *f, *fe;
            f = p;
            p = nextField(f, lineEnd, &fe);
            copyField((char*)r->method, sizeof r->method, f, (size_t)(fe - f));
            r->position = (uint32_t)strtoul(p, NULL, 10);
            p = nextField(p, lineEnd, &fe);
            r->compsize = (uint32_t)strtoul(p, NULL, 10);
            p = nextField(p, lineEnd, &fe);
            r->filesize = (uint32_t)strtoul(p, NULL, 10);
            p = nextField(p, lineEnd, &fe);
            r->timestamp = (int32_t)strtol(p, NULL, 10);
            f = nextField(p, lineEnd, &fe);
            p = nextField(f, lineEnd, &fe);
            copyField(r->path, sizeof r->path - 1, f, (size_t)(fe - f));
            f = p;
            p = nextField(f, lineEnd, &fe);
            copyField(r->filename, sizeof r->filename - 1, f, (size_t)(fe - f));
            r->crc = (uint32_t)strtoul(p, NULL, 10);
        }
        p = *lineEnd ? lineEnd + 1 : lineEnd;
    }
    LocalUnlock(list);
    free(text);
    if (noEnd) {
        /* Exactly the records, no room for the end record. */
        if (i == 0 || !LocalReAlloc(list, i * sizeof(SpiFileInfo), LMEM_MOVEABLE)) {
            LocalFree(list);
            return SPI_NO_MEMORY;
        }
    }
    if (noList) {
        LocalFree(list);
        list = 0;
    } else if (stale) {
        LocalFree(list);
    }
    *lphInf = list;
    return code;
}

SPI_EXPORT int GetFile(const char* src, intptr_t len, char* dest, unsigned int flag, SpiProgressCallback progress,
                       intptr_t lData)
{
    char text[512];
    HLOCAL out;
    size_t n;
    if ((flag & SPI_OUTPUT_MASK) != SPI_OUTPUT_MEMORY)
        return SPI_NOT_IMPLEMENTED;
    if (progress && progress(0, 2, lData))
        return SPI_ABORT;
    if ((flag & SPI_INPUT_MASK) == SPI_INPUT_MEMORY) {
        size_t shown = len > 16 ? 16 : (size_t)len;
        n = (size_t)snprintf(text, sizeof text, "memory:%ld:", (long)len);
        memcpy(text + n, src, shown);
        n += shown;
    } else {
        n = (size_t)snprintf(text, sizeof text, "file:%s@%ld", src, (long)len);
    }
    if (progress && progress(1, 2, lData))
        return SPI_ABORT;
    out = LocalAlloc(LMEM_MOVEABLE, n);
    if (!out)
        return SPI_NO_MEMORY;
    memcpy(LocalLock(out), text, n);
    LocalUnlock(out);
    if (progress && progress(2, 2, lData)) {
        LocalFree(out);
        return SPI_ABORT;
    }
    *(HLOCAL*)dest = out;
    return SPI_SUCCESS;
}
