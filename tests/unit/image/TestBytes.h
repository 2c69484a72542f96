#pragma once

#include "image/Dib.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace testbytes {

using Bytes = std::vector<std::uint8_t>;

inline void put16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void put32(Bytes& b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A bitmap information header; a size above 40 is padded with zero bytes.
inline Bytes infoHeader(std::int32_t width, std::int32_t height, unsigned bitCount, std::uint32_t compression = 0,
                        std::uint32_t imageSize = 0, std::uint32_t coloursUsed = 0, std::uint32_t headerSize = 40)
{
    Bytes b;
    put32(b, headerSize);
    put32(b, static_cast<std::uint32_t>(width));
    put32(b, static_cast<std::uint32_t>(height));
    put16(b, 1);
    put16(b, bitCount);
    put32(b, compression);
    put32(b, imageSize);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, coloursUsed);
    put32(b, 0);
    b.resize(headerSize < 40 ? 40 : headerSize, 0);
    return b;
}

inline Bytes fileHeader()
{
    Bytes b{'B', 'M'};
    put32(b, 0xDEADBEEF);  // never read
    put32(b, 0);
    put32(b, 0x12345678);  // the pixel offset is not consulted
    return b;
}

inline Bytes bytesOf(const platform::memory::OwnedHandle& h)
{
    const platform::memory::Lock lock(h.get());
    return Bytes(lock.data(), lock.data() + h.size());
}

inline image::Bytes view(const Bytes& b) { return image::Bytes(b.data(), b.size()); }

}  // namespace testbytes
