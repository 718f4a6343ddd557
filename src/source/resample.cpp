#include "source/resample.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "source/audio_libraries.h"

namespace sonabank {

namespace {

soxr_t CreateResampler(int fromRate, int toRate, ResampleQuality quality) {
    if (fromRate == toRate) return nullptr;
    const soxr_io_spec_t io = Soxr().io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t settings =
        Soxr().quality_spec(quality == ResampleQuality::VeryHigh ? SOXR_VHQ : SOXR_HQ, 0);
    // One thread: the work is one channel, and its setup would cost more.
    const soxr_runtime_spec_t runtime = Soxr().runtime_spec(1);
    soxr_error_t error = nullptr;
    soxr_t resampler = Soxr().create(fromRate, toRate, 1, &error, &io, &settings, &runtime);
    if (error) throw std::runtime_error(std::string("soxr: ") + error);
    return resampler;
}

}  // namespace

StreamResampler::StreamResampler(int fromRate, int toRate, ResampleQuality quality)
    : ratio_(static_cast<double>(toRate) / fromRate),
      resampler_(CreateResampler(fromRate, toRate, quality), Soxr().destroy) {}

StreamResampler::~StreamResampler() = default;

std::size_t StreamResampler::OutputLength(std::size_t inputLength) const {
    return static_cast<std::size_t>(std::llround(static_cast<double>(inputLength) * ratio_));
}

void StreamResampler::Push(std::span<const float> in, std::vector<float>& out) {
    consumed_ += in.size();
    if (!resampler_) {
        out.insert(out.end(), in.begin(), in.end());
        return;
    }
    Run(in.data(), in.size(), out);
}

void StreamResampler::Finish(std::vector<float>& out) {
    if (resampler_) Run(nullptr, 0, out);
}

// No input (nullptr) tells soxr to flush its filter, whose tail would run
// past the length the input stands for: the output stops there.
void StreamResampler::Run(const float* in, std::size_t length, std::vector<float>& out) {
    const std::size_t total = OutputLength(consumed_);
    for (;;) {
        const std::size_t room =
            in ? static_cast<std::size_t>(static_cast<double>(length) * ratio_) + 64
               : (total > produced_ ? total - produced_ : 0);
        const std::size_t at = out.size();
        out.resize(at + room);
        std::size_t used = 0;
        std::size_t made = 0;
        const soxr_error_t error =
            Soxr().process(resampler_.get(), in, length, &used, out.data() + at, room, &made);
        if (error) throw std::runtime_error(std::string("soxr: ") + error);
        out.resize(at + made);
        produced_ += made;
        if (!in) {
            if (made == 0 || produced_ == total) return;
            continue;
        }
        in += used;
        length -= used;
        if (length == 0) return;
        if (used == 0 && made == 0) throw std::logic_error("soxr took no input");
    }
}

std::vector<float> Resample(std::span<const float> in, int fromRate, int toRate,
                            ResampleQuality quality) {
    StreamResampler resampler(fromRate, toRate, quality);
    std::vector<float> out;
    out.reserve(resampler.OutputLength(in.size()));
    resampler.Push(in, out);
    resampler.Finish(out);
    return out;
}

}  // namespace sonabank
