#include "gfx/NxBlit.h"
#include "gfx/NxSurface.h"

#include <algorithm>

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
