#include "platform/Ticks.h"

#include <chrono>

namespace harbrook {

std::uint32_t CurrentTicks() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms));
}

std::uint32_t TickDifference(std::uint32_t earlier, std::uint32_t later) {
    if (later >= earlier) {
        return later - earlier;
    }
    // The clock wrapped; the established formula counts 4294967295 for the wrap.
    return later + 4294967295u - earlier;
}

}  // namespace harbrook
