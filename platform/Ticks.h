#pragma once

#include <cstdint>

namespace harbrook {

// Milliseconds of a monotonic clock cut to 32 bits: it wraps after about 49 days.
std::uint32_t CurrentTicks();
// Milliseconds from `earlier` to `later` across one wrap of the 32-bit clock.
std::uint32_t TickDifference(std::uint32_t earlier, std::uint32_t later);

}  // namespace harbrook
