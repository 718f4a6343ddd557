#include "source/resample.h"

#include <soxr.h>

#include <algorithm>
#include <future>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>

namespace sonabank {

namespace {

// One run of soxr over `in`, flushed at its end.
std::vector<float> ResampleRun(std::span<const float> in, int fromRate, int toRate,
                               ResampleQuality quality) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t spec =
        soxr_quality_spec(quality == ResampleQuality::VeryHigh ? SOXR_VHQ : SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    const std::unique_ptr<soxr, void (*)(soxr_t)> resampler(
        soxr_create(fromRate, toRate, 1, &error, &io, &spec, &runtime), soxr_delete);
    if (error) throw std::runtime_error(std::string("soxr: ") + error);

    const double ratio = static_cast<double>(toRate) / fromRate;
    std::vector<float> out(static_cast<std::size_t>(static_cast<double>(in.size()) * ratio + 0.5));
    std::size_t produced = 0;
    std::size_t consumed = 0;
    // Blocks of this size keep the filter's working set in the cache; a
    // single call with the whole input is measurably slower.
    constexpr std::size_t kBlock = 65536;
    // The last call passes no input, which tells soxr to flush its filter.
    while (produced < out.size()) {
        const std::size_t block = std::min(kBlock, in.size() - consumed);
        std::size_t used = 0;
        std::size_t made = 0;
        error = soxr_process(resampler.get(), block ? in.data() + consumed : nullptr, block, &used,
                             out.data() + produced, out.size() - produced, &made);
        if (error) throw std::runtime_error(std::string("soxr: ") + error);
        consumed += used;
        produced += made;
        if (block == 0 && made == 0) break;
    }
    out.resize(produced);
    return out;
}

}  // namespace

std::vector<float> Resample(std::span<const float> in, int fromRate, int toRate,
                            ResampleQuality quality) {
    if (fromRate == toRate) return {in.begin(), in.end()};
    // The filter is linear and time-invariant, so two halves resampled apart
    // (in two threads) give the same output as one run, provided each half
    // reaches far enough into the other to cover the filter's span, and the
    // seam falls where input and output samples coincide in time.
    const std::size_t step = static_cast<std::size_t>(fromRate / std::gcd(fromRate, toRate));
    const std::size_t overlap = (static_cast<std::size_t>(fromRate) / 4 / step + 1) * step;
    const std::size_t seam = in.size() / 2 / step * step;
    if (seam < overlap || in.size() - seam < overlap) {
        return ResampleRun(in, fromRate, toRate, quality);
    }
    const auto stepOut = static_cast<std::size_t>(toRate / std::gcd(fromRate, toRate));
    const std::size_t seamOut = seam / step * stepOut;
    const std::size_t overlapOut = overlap / step * stepOut;
    auto later = std::async(std::launch::async, ResampleRun, in.subspan(seam - overlap), fromRate,
                            toRate, quality);
    std::vector<float> out = ResampleRun(in.first(seam + overlap), fromRate, toRate, quality);
    const std::vector<float> second = later.get();
    out.resize(seamOut);
    out.insert(out.end(), second.begin() + static_cast<std::ptrdiff_t>(overlapOut), second.end());
    return out;
}

}  // namespace sonabank
