#include "playback/steady_tick_source.h"

#include <chrono>

namespace sonabank {

std::uint32_t SteadyTickSource::Now() {
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    // Conversion to an unsigned type keeps the low 32 bits: the wrap.
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count());
}

}  // namespace sonabank
