/*
 * Selvarin image plug-in interface.
 *
 * An image plug-in is an ELF shared object named NAME.spi that exports some of the twelve entry
 * points declared below as plain C functions, and optionally GetPluginCapabilities (at the end). The viewer loads it with dlopen (RTLD_NOW |
 * RTLD_LOCAL) when a script calls app.loadSusiePlugin(path), looks the twelve names up and calls
 * the ones it needs. A plug-in:
 *   - includes only this header and links only libselvarin-spi (-lselvarin-spi) and the libraries
 *     of its own format;
 *   - is built with -fvisibility=hidden and -Wl,--no-undefined, so that it exports exactly the
 *     entry points it defines (the declarations below carry SPI_EXPORT);
 *   - lets no C++ exception escape an entry point and keeps no state that a second loaded copy
 *     would share;
 *   - hands every result block back as a local memory handle (LocalAlloc below); the viewer
 *     takes the handle over and frees it.
 *
 * Texts crossing the interface are UTF-8 with "/" separators. File names the viewer passes are
 * operating-system paths; the names, paths and info texts a plug-in returns are converted by the
 * viewer for scripts. A name too long for a 200-byte field is shortened by the plug-in at a
 * character boundary, keeping its extension; the entry's position still finds the entry.
 *
 * The viewer calls every entry point under a fault guard: a plug-in that crashes is marked as
 * broken, later calls to it return nothing, and its library stays loaded.
 */
#ifndef SELVARIN_SPI_H
#define SELVARIN_SPI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* x86-64 Linux has one calling convention; kept so that code written for the interface reads
 * the same. */
#define SPI_CALL
#define SPI_EXPORT __attribute__((visibility("default")))

/* ------------------------------------------------------------------------------------------ */
/* Memory handles (libselvarin-spi)                                                            */
/* ------------------------------------------------------------------------------------------ */
/*
 * A handle is a 32-bit value naming a block in one process-wide table that the viewer, every
 * plug-in and every thread share; 0 is the null handle. A freed handle's value is not handed
 * out again for a long time, so a stale handle reads as invalid instead of naming someone
 * else's block. Every function accepts any value and refuses one that is not a live handle of
 * its own heap (local or global). All functions are safe to call from any thread.
 *
 * Blocks never move while locked; locks nest and are counted. A block of size 0 still locks to
 * a non-null address. Sizes above 0xFFFFFFFF bytes are refused.
 */
typedef uint32_t HLOCAL;
typedef uint32_t HGLOBAL;

#define LMEM_FIXED 0x0000u
#define LMEM_MOVEABLE 0x0002u
#define LMEM_ZEROINIT 0x0040u
#define LMEM_MODIFY 0x0080u
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define LMEM_LOCKCOUNT 0x00FFu
#define LMEM_INVALID_HANDLE 0x8000u

#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GMEM_MODIFY 0x0080u
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define GMEM_LOCKCOUNT 0x00FFu
#define GMEM_INVALID_HANDLE 0x8000u

/* A new block of `bytes` bytes; zeroed with LMEM_ZEROINIT, otherwise not initialised. Fixed and
 * movable blocks behave alike. 0 on failure. */
SPI_EXPORT HLOCAL LocalAlloc(unsigned int flags, size_t bytes);
/* Address of the first byte, valid until the matching LocalUnlock; NULL for an invalid handle. */
SPI_EXPORT void* LocalLock(HLOCAL mem);
/* Ends one lock. Nonzero while other locks remain, 0 once unlocked (or for an invalid handle). */
SPI_EXPORT int LocalUnlock(HLOCAL mem);
/* Frees the block, locked or not. 0 on success; the handle itself when it is not valid. */
SPI_EXPORT HLOCAL LocalFree(HLOCAL mem);
/* The size asked for; 0 for an invalid handle. */
SPI_EXPORT size_t LocalSize(HLOCAL mem);
/* The lock count (LMEM_LOCKCOUNT bits, at most 255); LMEM_INVALID_HANDLE for an invalid handle. */
SPI_EXPORT unsigned int LocalFlags(HLOCAL mem);
/* New size, content kept up to the smaller size (new bytes zeroed with LMEM_ZEROINIT); the
 * handle stays the same. Refused (0) while the block is locked. With LMEM_MODIFY only the flags
 * change. Returns the handle, or 0 on failure with the block unchanged. */
SPI_EXPORT HLOCAL LocalReAlloc(HLOCAL mem, size_t bytes, unsigned int flags);

/* The same for the global heap, which the viewer uses for its own blocks. A global handle is
 * not a local one: LocalFree refuses it, LocalFlags reports it invalid, and the other way round. */
SPI_EXPORT HGLOBAL GlobalAlloc(unsigned int flags, size_t bytes);
SPI_EXPORT void* GlobalLock(HGLOBAL mem);
SPI_EXPORT int GlobalUnlock(HGLOBAL mem);
SPI_EXPORT HGLOBAL GlobalFree(HGLOBAL mem);
SPI_EXPORT size_t GlobalSize(HGLOBAL mem);
SPI_EXPORT unsigned int GlobalFlags(HGLOBAL mem);
SPI_EXPORT HGLOBAL GlobalReAlloc(HGLOBAL mem, size_t bytes, unsigned int flags);

/* ------------------------------------------------------------------------------------------ */
/* Result codes, flags, records                                                                */
/* ------------------------------------------------------------------------------------------ */
#define SPI_NOT_IMPLEMENTED (-1) /* the function is not implemented */
#define SPI_SUCCESS 0            /* success */
#define SPI_ABORT 1              /* the progress callback asked to stop */
#define SPI_NOT_SUPPORT 2        /* unknown format; also "listing incomplete" from GetArchiveInfo */
#define SPI_OUT_OF_ORDER 3       /* the data is broken */
#define SPI_NO_MEMORY 4          /* a block could not be allocated */
#define SPI_MEMORY_ERROR 5       /* a block could not be locked or used */
#define SPI_FILE_READ_ERROR 6
#define SPI_WINDOW_ERROR 7       /* a window could not be opened (ConfigurationDlg) */
#define SPI_OTHER_ERROR 8
#define SPI_FILE_WRITE_ERROR 9
#define SPI_END_OF_FILE 10

/* Largest picture the viewer turns into a Surface: width x height x 4 bytes may not exceed this.
 * A picture plug-in refuses a bigger one with SPI_NO_MEMORY before it allocates anything. */
#define SPI_MAX_PICTURE_BYTES 0x80000000ull

/* Low three bits of `flag`: where the input is. */
#define SPI_INPUT_MASK 0x0007u
#define SPI_INPUT_FILE 0x0000u   /* buf is a NUL-terminated path; len is the offset in the file */
#define SPI_INPUT_MEMORY 0x0001u /* buf is the address of the data; len is its size */
/* Bits 8-10 of `flag` (GetFile): where the output goes. */
#define SPI_OUTPUT_MASK 0x0700u
#define SPI_OUTPUT_FILE 0x0000u   /* dest is a NUL-terminated folder path */
#define SPI_OUTPUT_MEMORY 0x0100u /* dest points to an HLOCAL that receives the result block */

/* Called from GetPicture and GetFile with the work done so far out of `total`; `user` is the
 * value the viewer passed as lData. Returns nonzero when the caller asks to stop: the plug-in
 * then frees what it made and returns SPI_ABORT. Call it with done == 0 at the start and
 * done == total at the end; the callback may be NULL. The callback runs script code, so it
 * may take a while; it never calls back into the plug-in. */
typedef int (*SpiProgressCallback)(int done, int total, intptr_t user);

#pragma pack(push, 1)

/* Filled by GetPictureInfo. The viewer clears the record before the call. */
typedef struct SpiPictureInfo {
    int32_t left;        /* position of the picture within its frame; usually 0 */
    int32_t top;
    int32_t width;       /* size in pixels */
    int32_t height;
    uint16_t x_density;  /* pixels per unit, 0 when unknown */
    uint16_t y_density;
    int16_t colorDepth;  /* bits per pixel */
    HLOCAL hInfo;        /* a local block with a NUL-terminated UTF-8 text (comments), or 0;
                            the viewer frees it */
} SpiPictureInfo;

/* One entry of an archive listing made by GetArchiveInfo. The listing is one local block: an
 * array of these records ended by a record whose first byte is 0, which must lie inside the
 * block. */
typedef struct SpiFileInfo {
    unsigned char method[8]; /* compression method as text, not necessarily NUL-terminated */
    uint32_t position;       /* where GetFile finds the entry (offset or index) */
    uint32_t compsize;       /* compressed size */
    uint32_t filesize;       /* uncompressed size */
    int32_t timestamp;       /* seconds since 1970-01-01 UTC */
    char path[200];          /* NUL-terminated UTF-8 directory of the entry, may end with "/" */
    char filename[200];      /* NUL-terminated UTF-8 name; empty for a directory entry */
    uint32_t crc;
} SpiFileInfo;

#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(SpiPictureInfo) == 26, "picture information record is 26 bytes");
static_assert(sizeof(SpiFileInfo) == 428, "archive entry record is 428 bytes");
#else
_Static_assert(sizeof(SpiPictureInfo) == 26, "picture information record is 26 bytes");
_Static_assert(sizeof(SpiFileInfo) == 428, "archive entry record is 428 bytes");
#endif

/* ------------------------------------------------------------------------------------------ */
/* The twelve entry points                                                                     */
/* ------------------------------------------------------------------------------------------ */
/*
 * Define the ones your plug-in supports; leave the others out (a plug-in must export at least
 * one of them to load). Types of pointers to them, for hosts, follow each declaration.
 * `buf`/`len`/`flag` select the input as described at SPI_INPUT_MASK.
 */

/* Writes text number `infono` into buf (at most buflen bytes, NUL-terminated) and returns its
 * length, or 0 when there is no such entry. 0: interface version ("00IN" for pictures, "00AM"
 * for archives); 1: a name and copyright line; 2n+2: a file pattern such as "*.png;*.apng";
 * 2n+3: the name of that file type. */
SPI_EXPORT int SPI_CALL GetPluginInfo(int infono, char* buf, int buflen);
typedef int(SPI_CALL* SpiGetPluginInfoFunc)(int infono, char* buf, int buflen);

/* Shows the plug-in's own settings window. Never called by the viewer. */
SPI_EXPORT int SPI_CALL ConfigurationDlg(intptr_t parent, int fnc);
typedef int(SPI_CALL* SpiConfigurationDlgFunc)(intptr_t parent, int fnc);

/* Nonzero when the plug-in reads the file. `filename` is its path; `dw` points to its first
 * 2048 bytes (zero-padded when the file is shorter). */
SPI_EXPORT int SPI_CALL IsSupported(const char* filename, const void* dw);
typedef int(SPI_CALL* SpiIsSupportedFunc)(const char* filename, const void* dw);

/* Fills `info` for the picture. Returns SPI_SUCCESS or an error code. */
SPI_EXPORT int SPI_CALL GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, SpiPictureInfo* info);
typedef int(SPI_CALL* SpiGetPictureInfoFunc)(const char* buf, intptr_t len, unsigned int flag,
                                             SpiPictureInfo* info);

/* Decodes the picture into two new local blocks: *pHBInfo gets a BITMAPINFOHEADER (40 bytes,
 * biSize 40) followed by its colour table (biClrUsed entries, or 1 << biBitCount when that is 0,
 * for 1, 4 and 8 bits; three masks for BI_BITFIELDS), *pHBm the pixel rows, bottom-up, each
 * padded to 4 bytes, with biSizeImage set to their total size. Both handles are the viewer's
 * afterwards. Returns SPI_SUCCESS or an error code (then no handle is returned). */
SPI_EXPORT int SPI_CALL GetPicture(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                                   SpiProgressCallback progress, intptr_t lData);
typedef int(SPI_CALL* SpiGetPictureFunc)(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo,
                                         HLOCAL* pHBm, SpiProgressCallback progress, intptr_t lData);

/* As GetPicture, for a reduced picture. Never called by the viewer. */
SPI_EXPORT int SPI_CALL GetPreview(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo, HLOCAL* pHBm,
                                   SpiProgressCallback progress, intptr_t lData);
typedef int(SPI_CALL* SpiGetPreviewFunc)(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo,
                                         HLOCAL* pHBm, SpiProgressCallback progress, intptr_t lData);

/* Lists the archive into one new local block of SpiFileInfo records ended by a record whose
 * first byte is 0; *lphInf gets its handle. SPI_SUCCESS, or SPI_NOT_SUPPORT with a partial list
 * (the viewer reads the list in both cases), or another error code without a list. */
SPI_EXPORT int SPI_CALL GetArchiveInfo(const char* buf, intptr_t len, unsigned int flag, HLOCAL* lphInf);
typedef int(SPI_CALL* SpiGetArchiveInfoFunc)(const char* buf, intptr_t len, unsigned int flag, HLOCAL* lphInf);

/* The record of one entry by name. Never called by the viewer. */
SPI_EXPORT int SPI_CALL GetFileInfo(const char* buf, intptr_t len, const char* filename, unsigned int flag,
                                    SpiFileInfo* lpInfo);
typedef int(SPI_CALL* SpiGetFileInfoFunc)(const char* buf, intptr_t len, const char* filename, unsigned int flag,
                                          SpiFileInfo* lpInfo);

/* Extracts one entry. Input file: `src` is the archive's path and `len` the entry's position.
 * Input memory: `src` points to the archive data from the entry's position on and `len` is the
 * number of bytes there. With SPI_OUTPUT_MEMORY, `dest` points to an HLOCAL that receives a new
 * local block holding the entry's bytes. Returns SPI_SUCCESS or an error code. */
SPI_EXPORT int SPI_CALL GetFile(const char* src, intptr_t len, char* dest, unsigned int flag,
                                SpiProgressCallback progress, intptr_t lData);
typedef int(SPI_CALL* SpiGetFileFunc)(const char* src, intptr_t len, char* dest, unsigned int flag,
                                      SpiProgressCallback progress, intptr_t lData);

/* Variants of GetPicture, IsSupported and GetFile of an extended interface, looked up but never
 * called by the viewer; their arguments are those of the base function. */
SPI_EXPORT int SPI_CALL GetPictureEFZ(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo,
                                      HLOCAL* pHBm, SpiProgressCallback progress, intptr_t lData);
typedef int(SPI_CALL* SpiGetPictureEFZFunc)(const char* buf, intptr_t len, unsigned int flag, HLOCAL* pHBInfo,
                                            HLOCAL* pHBm, SpiProgressCallback progress, intptr_t lData);
SPI_EXPORT int SPI_CALL IsSupportedPlt(const char* filename, const void* dw);
typedef int(SPI_CALL* SpiIsSupportedPltFunc)(const char* filename, const void* dw);
SPI_EXPORT int SPI_CALL GetFileEFZ(const char* src, intptr_t len, char* dest, unsigned int flag,
                                   SpiProgressCallback progress, intptr_t lData);
typedef int(SPI_CALL* SpiGetFileEFZFunc)(const char* src, intptr_t len, char* dest, unsigned int flag,
                                         SpiProgressCallback progress, intptr_t lData);

/* ------------------------------------------------------------------------------------------ */
/* Optional: what else the plug-in allows                                                     */
/* ------------------------------------------------------------------------------------------ */
/*
 * A plug-in may also export GetPluginCapabilities. The viewer calls it once, on loading, and
 * reads the bits it knows; a plug-in without it has none of them. Unknown bits are ignored, so
 * return only the ones you mean.
 *
 * SPI_CAPABILITY_THREAD_SAFE: GetPluginInfo, IsSupported, GetPictureInfo and GetPicture may be
 * called from any thread, also while another thread is in a call of the same loaded copy. Claim
 * it only when every call keeps its state to itself (no globals written, the format library
 * thread-safe for independent decodes). The viewer then may decode pictures it expects to show
 * soon on a background thread, with memory input only; the progress callback of such a call is
 * the viewer's own, runs no script code and is called on the calling thread.
 */
#define SPI_CAPABILITY_THREAD_SAFE 0x00000001u

SPI_EXPORT unsigned int SPI_CALL GetPluginCapabilities(void);
typedef unsigned int(SPI_CALL* SpiGetPluginCapabilitiesFunc)(void);

#ifdef __cplusplus
}
#endif

#endif /* SELVARIN_SPI_H */
