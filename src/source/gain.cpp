#include "source/gain.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "source/audio_libraries.h"
#include "source/resample.h"

namespace sonabank {

namespace {

constexpr int kOversampling = 4;

// The gain a value needs so that it rounds to a 16-bit sample: 1 for values
// that already do, less for those beyond 32767 or -32768.
float NeedOf(float x) {
    constexpr float kTop = 32767.5f / 32768.0f;
    constexpr float kBottom = -32768.5f / 32768.0f;
    if (x >= kTop) return FULL_SCALE / x;
    if (x <= kBottom) return -1.0f / x;
    return 1.0f;
}

// The gain each sample needs on its own: for its value, and with `truePeak`
// also for the interpolated values up to the next sample, found at four times
// the rate a piece at a time.
std::vector<float> Needs(std::span<const float> signal, int rate, bool truePeak) {
    std::vector<float> need(signal.size());
    std::transform(signal.begin(), signal.end(), need.begin(), NeedOf);
    if (!truePeak) return need;
    StreamResampler fine(rate, kOversampling * rate, ResampleQuality::High);
    std::vector<float> piece;
    std::size_t at = 0;  // index of piece[0] at the fine rate
    const auto fold = [&] {
        for (std::size_t i = 0; i < piece.size() && (at + i) / kOversampling < need.size(); ++i) {
            float& n = need[(at + i) / kOversampling];
            n = std::min(n, NeedOf(piece[i]));
        }
        at += piece.size();
        piece.clear();
    };
    constexpr std::size_t kPiece = 16384;
    for (std::size_t from = 0; from < signal.size(); from += kPiece) {
        fine.Push(signal.subspan(from, std::min(kPiece, signal.size() - from)), piece);
        fold();
    }
    fine.Finish(piece);
    fold();
    return need;
}

// out[i] = min of in[i - radius .. i + radius], in linear time.
std::vector<float> SlidingMinimum(const std::vector<float>& in, std::size_t radius) {
    std::vector<float> out(in.size());
    std::deque<std::size_t> window;  // indices of increasing values
    std::size_t next = 0;
    for (std::size_t i = 0; i < in.size(); ++i) {
        for (; next < in.size() && next <= i + radius; ++next) {
            while (!window.empty() && in[window.back()] >= in[next]) window.pop_back();
            window.push_back(next);
        }
        while (window.front() + radius < i) window.pop_front();
        out[i] = in[window.front()];
    }
    return out;
}

}  // namespace

double IntegratedLoudness(std::span<const float> mono, int rate) {
    const std::unique_ptr<ebur128_state, void (*)(ebur128_state*)> state(
        Ebur128().init(1, static_cast<unsigned long>(rate), EBUR128_MODE_I),
        [](ebur128_state* s) { Ebur128().destroy(&s); });
    if (!state) throw std::bad_alloc();
    if (Ebur128().add_frames_float(state.get(), mono.data(), mono.size()) != EBUR128_SUCCESS) {
        throw std::bad_alloc();
    }
    double loudness = 0;
    if (Ebur128().loudness_global(state.get(), &loudness) != EBUR128_SUCCESS) {
        return -std::numeric_limits<double>::infinity();
    }
    return loudness;
}

std::size_t LimitToFullScale(std::span<float> signal, int rate, bool truePeak) {
    const std::size_t clipped = static_cast<std::size_t>(
        std::count_if(signal.begin(), signal.end(), [](float x) { return NeedOf(x) < 1.0f; }));
    if (clipped == 0 && !truePeak) return 0;
    const std::vector<float> need = Needs(signal, rate, truePeak);
    if (std::all_of(need.begin(), need.end(), [](float n) { return n >= 1.0f; })) return clipped;
    // Spread over time: the minimum over 2 ms either side, averaged over the
    // same span, never exceeds the need of any sample it covers, and turns
    // each step into a ramp (no click).
    const std::size_t radius = std::max<std::size_t>(1, static_cast<std::size_t>(rate / 500));
    const std::vector<float> floor = SlidingMinimum(need, radius);
    std::vector<double> sums(floor.size() + 1, 0.0);
    for (std::size_t i = 0; i < floor.size(); ++i) sums[i + 1] = sums[i] + floor[i];
    // Back to unity gain over about 50 ms after a peak, so the level does not
    // pump with every wave.
    const float release = 1.0f - std::exp(-1.0f / (0.05f * static_cast<float>(rate)));
    float gain = 1.0f;
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const std::size_t from = i >= radius / 2 ? i - radius / 2 : 0;
        const std::size_t to = std::min(floor.size(), i + radius / 2 + 1);
        const auto smooth =
            static_cast<float>((sums[to] - sums[from]) / static_cast<double>(to - from));
        gain = std::min(smooth, gain + (1.0f - gain) * release);
        signal[i] = std::clamp(signal[i] * gain, -1.0f, FULL_SCALE);
    }
    return clipped;
}

}  // namespace sonabank
