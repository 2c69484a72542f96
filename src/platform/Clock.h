#pragma once

#include <cstdint>

namespace platform {

// Milliseconds of a monotonic clock, wrapping at 2^32: scripts see a 32-bit counter.
std::uint32_t tickCount() noexcept;

}  // namespace platform
