#include "gfx/NxTables.h"

#include <algorithm>
#include <memory>

namespace gfx {

namespace {

std::unique_ptr<NxTables> buildTables()
{
    auto t = std::make_unique<NxTables>();
    for (int a = 0; a < 256; ++a) {
        const auto v = static_cast<std::uint16_t>(a == 0 ? 0 : a + 1);
        t->w[a] = {v, v, v, 0};
        t->w3[a] = a < 3 ? std::array<std::uint16_t, 4>{0, 0, 0, 0} : t->w[a];
    }
    for (int a = 0; a < 256; ++a)
        for (int x = 0; x < 256; ++x)
            t->mul[a][x] = static_cast<std::uint8_t>((a * x + 127) / 255);
    for (int d = 0; d < 256; ++d) {
        for (int s = 0; s < 256; ++s) {
            t->aout[d][s] = static_cast<std::uint8_t>(std::min(255, d + (s * (255 - d)) / 255));
            if (d == 0) {
                t->srcw[d][s] = 255;
            } else {
                // Kept in double precision in this exact order: the table is the definition.
                const double e = s / 255.0;
                const double c = d / 255.0;
                const double v = 255.0 * (e / c) / ((1.0 - e) + e / c);
                t->srcw[d][s] = static_cast<std::uint8_t>(std::min(255, static_cast<int>(v)));
            }
        }
    }
    for (int i = -768; i < 1024; ++i)
        t->clampData[static_cast<std::size_t>(i + 768)] = static_cast<std::uint8_t>(std::clamp(i, 0, 255));
    for (std::uint32_t i = 0; i < 256; ++i)
        t->gray32[i] = i * 0x01010101u;
    for (int d = 0; d < 256; ++d)
        for (int s = 0; s < 256; ++s)
            t->composite[static_cast<std::size_t>(d * 256 + s)] =
                static_cast<std::uint32_t>(t->aout[d][s]) << 16 | t->w[t->srcw[d][s]][0];
    for (std::size_t i = 65536; i < t->composite.size(); ++i)
        t->composite[i] = 0;
    return t;
}

} // namespace

const NxTables& tables()
{
    // A function-local static is initialised exactly once even when threads race to it.
    static const std::unique_ptr<NxTables> instance = buildTables();
    return *instance;
}

} // namespace gfx
