#pragma once

// Sample-rate conversion of one channel with libsoxr.

#include <cstddef>
#include <memory>
#include <span>
#include <vector>

struct soxr;

namespace sonabank {

enum class ResampleQuality { High, VeryHigh };

// Converts a stream that arrives in pieces, so that a long recording never
// has to be held at its own rate. The output is aligned in time with the
// input (linear phase, the filter's delay removed) and, once finished, holds
// the input's length times toRate / fromRate, rounded. Equal rates copy.
class StreamResampler {
  public:
    StreamResampler(int fromRate, int toRate, ResampleQuality quality);
    ~StreamResampler();
    StreamResampler(const StreamResampler&) = delete;
    StreamResampler& operator=(const StreamResampler&) = delete;

    // Appends to `out` what `in` yields so far.
    void Push(std::span<const float> in, std::vector<float>& out);
    // Appends the rest, once the input has ended.
    void Finish(std::vector<float>& out);

    // The whole output's length for `inputLength` samples in.
    std::size_t OutputLength(std::size_t inputLength) const;

  private:
    void Run(const float* in, std::size_t length, std::vector<float>& out);

    double ratio_;
    std::unique_ptr<soxr, void (*)(soxr*)> resampler_;
    std::size_t consumed_ = 0;
    std::size_t produced_ = 0;
};

// All of `in` at once.
std::vector<float> Resample(std::span<const float> in, int fromRate, int toRate,
                            ResampleQuality quality = ResampleQuality::VeryHigh);

}  // namespace sonabank
