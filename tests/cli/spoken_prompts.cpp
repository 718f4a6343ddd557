#include "cli/spoken_prompts.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace sonabank::test {

const std::vector<SpokenPrompt> kSpokenPrompts = {
    {"ru", "pcm22050", "Заряд батареи низкий."}, {"ru", "pcm11025", "Заряд батареи низкий."},
    {"ru", "adpcm", "Заряд батареи низкий."},    {"en", "pcm22050", "The door is open."},
    {"en", "pcm11025", "The door is open."},     {"en", "adpcm", "The door is open."},
};

std::string SayAllPrompts(CliTest& test) {
    const std::string path = test.NewImage("prompts.bin");
    for (const SpokenPrompt& prompt : kSpokenPrompts) {
        const ProgramResult said = test.Cli(
            {"say", path, prompt.text, "--voice", prompt.voice, "--format", prompt.format});
        if (said.status != 0) throw std::runtime_error("say failed: " + said.err);
    }
    return path;
}

PlayedFragment FragmentAsPlayed(CliTest& test, const std::string& image, int number) {
    const std::string wavPath = test.File("fragment.wav");
    const ProgramResult written = test.Cli({"wav", image, std::to_string(number), wavPath});
    if (written.status != 0) throw std::runtime_error("wav failed: " + written.err);
    const auto bytes = ReadFile(wavPath);
    constexpr std::size_t kHeader = 44;
    if (bytes.size() < kHeader) throw std::runtime_error("short WAV file");
    PlayedFragment fragment;
    fragment.rate = bytes[24] | bytes[25] << 8 | bytes[26] << 16 | bytes[27] << 24;
    for (std::size_t i = kHeader; i < bytes.size(); ++i) {
        fragment.samples.push_back(static_cast<std::int16_t>((bytes[i] - 128) * 256));
    }
    return fragment;
}

namespace {

// A biquad of the usual cookbook form, run over the samples in place.
void Biquad(std::vector<double>& x, double b0, double b1, double b2, double a0, double a1,
            double a2) {
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (double& sample : x) {
        const double y = (b0 * sample + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2) / a0;
        x2 = x1;
        x1 = sample;
        y2 = y1;
        y1 = y;
        sample = y;
    }
}

}  // namespace

double BandRms(const PlayedFragment& fragment, double lowHz, double highHz) {
    std::vector<double> x(fragment.samples.begin(), fragment.samples.end());
    const double q = std::numbers::sqrt2 / 2;
    for (const double hz : {lowHz, highHz}) {
        const double w = 2 * std::numbers::pi * hz / fragment.rate;
        const double alpha = std::sin(w) / (2 * q);
        const double c = std::cos(w);
        if (hz == lowHz) {
            Biquad(x, (1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
        } else {
            Biquad(x, (1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
        }
    }
    double sum = 0;
    for (const double sample : x) sum += sample * sample;
    return x.empty() ? 0 : std::sqrt(sum / x.size());
}

}  // namespace sonabank::test
