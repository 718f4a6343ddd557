#include "platform/steady_tick_source.h"

namespace sonabank {

std::uint32_t TickOf(std::chrono::steady_clock::time_point time) {
    // Conversion to an unsigned type keeps the low 32 bits: the wrap.
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count());
}

std::uint32_t SteadyTickSource::Now() {
    return TickOf(std::chrono::steady_clock::now());
}

}  // namespace sonabank
