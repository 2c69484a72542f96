#pragma once

#include <cstdint>

namespace platform {

// Milliseconds of a monotonic clock, wrapping at 2^32 as the original platform's counter does.
std::uint32_t tickCount() noexcept;

}  // namespace platform
