#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

// Conversions of script numbers to the sizes and positions of the host, truncating toward zero.
namespace api {

// A byte count; none for NaN, negative values and values beyond 32 bits.
inline std::optional<std::uint32_t> toByteCount(double value)
{
    if (!(value >= 0) || value >= 4294967296.0)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

// The low 32 bits of the truncated value, as a 32-bit word passed on unchecked would carry them.
inline std::uint32_t toWord(double value)
{
    if (!std::isfinite(value))
        return 0;
    double t = std::trunc(std::fmod(value, 4294967296.0));
    if (t < 0)
        t += 4294967296.0;
    return static_cast<std::uint32_t>(t);
}

// A signed 32-bit value; none when the truncated value does not fit.
inline std::optional<std::int32_t> toInt32(double value)
{
    if (!(value > -2147483649.0 && value < 2147483648.0))
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

}  // namespace api
