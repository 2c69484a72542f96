#include "gfx/NxBlit.h"
#include "gfx/NxSurface.h"

#include <algorithm>
#include <cstring>

namespace gfx {

namespace {

std::int64_t floorMod(std::int64_t v, std::int64_t n)
{
    const std::int64_t r = v % n;
    return r < 0 ? r + n : r;
}

// One axis of the tiling: the destination span [d0, d1) with the tile [s0, s1) of size n,
// starting at tile column/row t0. Whole tiles ending before the clip edge c0 (in destination
// coordinates) are skipped; d1 is lowered to c1.
void skipOutside(std::int64_t& d0, std::int64_t& d1, std::int64_t s0, std::int64_t s1, std::int64_t& t0,
                 std::int64_t c0, std::int64_t c1)
{
    const std::int64_t n = s1 - s0;
    if (d0 + (s1 - t0) < c0) {
        d0 += s1 - t0;
        t0 = s0;
        d0 += ((c0 - d0) / n) * n;
    }
    d1 = std::min(d1, c1);
}

// A plain copy of a tile lying inside its 32 bpp picture onto another 32 bpp surface: each
// destination row is periodic, so its first period comes from the tile and the rest is copied
// from the row itself in doubling runs, instead of one blit per tile.
bool plainCopy(const NxSurface& dst, const NxSurface* src, const NxBlitParams* params, std::int64_t sr, std::int64_t sb)
{
    return (params == nullptr || params->flags == 0) && src != &dst && dst.bitsPerPixel() == 32 &&
           src->isCreated() && src->bitsPerPixel() == 32 && sr <= src->width() && sb <= src->height();
}

// Rows [dt, db) and columns [dl, dr) of the destination (before the origin), whose first row and
// column show the tile's pixel (x0, y0); the part inside the clip is drawn.
void copyTiles(NxSurface& dst, const NxSurface& src, std::int64_t sl, std::int64_t st, std::int64_t w, std::int64_t h,
               std::int64_t x0, std::int64_t y0, std::int64_t dl, std::int64_t dr, std::int64_t dt, std::int64_t db)
{
    const NxRect& clip = dst.clipRect();
    const std::int64_t ox = dst.originX(), oy = dst.originY();
    const std::int64_t left = std::max(dl + ox, std::int64_t{clip.left});
    const std::int64_t right = std::min(dr + ox, std::int64_t{clip.right});
    const std::int64_t top = std::max(dt + oy, std::int64_t{clip.top});
    const std::int64_t bottom = std::min(db + oy, std::int64_t{clip.bottom});
    if (left >= right || top >= bottom)
        return;
    const std::int64_t n = right - left;
    const std::int64_t column = (x0 - sl + left - ox - dl) % w;
    for (std::int64_t y = top; y < bottom; ++y) {
        const std::int64_t sy = st + (y0 - st + y - oy - dt) % h;
        const std::uint8_t* in = src.pixels().row(static_cast<std::int32_t>(sy)) + 4 * sl;
        std::uint8_t* out = dst.pixels().row(static_cast<std::int32_t>(y)) + 4 * left;
        const std::int64_t first = std::min(w - column, n);
        std::memmove(out, in + 4 * column, 4 * static_cast<std::size_t>(first));
        if (first < n)
            std::memmove(out + 4 * first, in, 4 * static_cast<std::size_t>(std::min(column, n - first)));
        // Runs start at whole periods, so each copies the row's own first pixels.
        for (std::int64_t done = std::min(w, n); done < n;) {
            const std::int64_t run = std::min(done, n - done);
            std::memcpy(out + 4 * done, out, 4 * static_cast<std::size_t>(run));
            done += run;
        }
    }
}

} // namespace

int tile(NxSurface& dst, const NxRect* dstRect, NxSurface* src, const NxRect* srcRect, std::int32_t offsetX,
         std::int32_t offsetY, const NxBlitParams* params)
{
    if (src == nullptr || !dst.isCreated())
        return 0;
    const NxRect whole{0, 0, src->width(), src->height()};
    const NxRect given = srcRect ? *srcRect : whole;
    // A tile starting left of or above the picture is moved inside with its size kept; the
    // offset absorbs the move.
    std::int64_t sl = given.left, st = given.top;
    std::int64_t sr = given.right, sb = given.bottom;
    std::int64_t ox = offsetX, oy = offsetY;
    if (sl < 0) {
        ox += sl;
        sr -= sl;
        sl = 0;
    }
    if (st < 0) {
        oy += st;
        sb -= st;
        st = 0;
    }
    const std::int64_t w = sr - sl;
    const std::int64_t h = sb - st;
    if (w <= 0 || h <= 0)
        return 1;
    const NxRect d = dstRect ? *dstRect : NxRect{0, 0, dst.width(), dst.height()};
    if (std::int64_t{d.width()} == w && std::int64_t{d.height()} == h && ox == 0 && oy == 0) {
        const NxRect s{static_cast<std::int32_t>(sl), static_cast<std::int32_t>(st), static_cast<std::int32_t>(sr),
                       static_cast<std::int32_t>(sb)};
        return blit(dst, &d, src, &s, params);
    }

    std::int64_t x0 = sl + floorMod(ox, w);
    std::int64_t y0 = st + floorMod(oy, h);
    std::int64_t dl = d.left, dr = d.right, dt = d.top, db = d.bottom;
    const NxRect& clip = dst.clipRect();
    skipOutside(dl, dr, sl, sr, x0, std::int64_t{clip.left} - dst.originX(), std::int64_t{clip.right} - dst.originX());
    skipOutside(dt, db, st, sb, y0, std::int64_t{clip.top} - dst.originY(), std::int64_t{clip.bottom} - dst.originY());
    if (dl >= dr || dt >= db)
        return 1;
    if (plainCopy(dst, src, params, sr, sb)) {
        copyTiles(dst, *src, sl, st, w, h, x0, y0, dl, dr, dt, db);
        return 1;
    }

    for (std::int64_t y = dt, sy = y0; y < db; sy = st) {
        const std::int64_t bandHeight = std::min(sb - sy, db - y);
        for (std::int64_t x = dl, sx = x0; x < dr; sx = sl) {
            const std::int64_t pieceWidth = std::min(sr - sx, dr - x);
            // Every value lies between a rectangle edge and the clip, so it fits 32 bits.
            const NxRect dp{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                            static_cast<std::int32_t>(x + pieceWidth), static_cast<std::int32_t>(y + bandHeight)};
            const NxRect sp{static_cast<std::int32_t>(sx), static_cast<std::int32_t>(sy),
                            static_cast<std::int32_t>(sx + pieceWidth), static_cast<std::int32_t>(sy + bandHeight)};
            if (blit(dst, &dp, src, &sp, params) == 0)
                return 0;
            x += pieceWidth;
        }
        y += bandHeight;
    }
    return 1;
}

} // namespace gfx
