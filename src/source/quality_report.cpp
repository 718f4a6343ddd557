#include "source/quality_report.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace sonabank {

double PeakDbfs(std::span<const std::int16_t> samples) {
    int peak = 0;
    for (const std::int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return 20 * std::log10(peak / 32768.0);
}

std::optional<double> SnrDb(std::span<const std::int16_t> input,
                            std::span<const std::uint8_t> decoded) {
    const std::size_t count = std::min(input.size(), decoded.size());
    double signal = 0;
    double noise = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double x = input[i];
        const double error = x - (decoded[i] - 128) * 256.0;
        signal += x * x;
        noise += error * error;
    }
    if (signal == 0) return std::nullopt;
    if (noise == 0) return std::numeric_limits<double>::infinity();
    return 10 * std::log10(signal / noise);
}

}  // namespace sonabank
