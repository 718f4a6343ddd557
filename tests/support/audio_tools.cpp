#include "support/audio_tools.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace sonabank::test {

void Shell(const std::string& commandLine) {
    if (std::system(commandLine.c_str()) != 0) throw std::runtime_error("failed: " + commandLine);
}

double ToneFrequency(std::span<const double> samples, double rate) {
    double first = -1;
    double last = -1;
    int crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            const double at =
                static_cast<double>(i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]);
            if (crossings++ == 0) first = at;
            last = at;
        }
    }
    if (crossings < 2) return 0;
    return (crossings - 1) / (last - first) * rate;
}

std::vector<double> Centred8(std::span<const std::uint8_t> bytes) {
    std::vector<double> samples;
    samples.reserve(bytes.size());
    // The device's zero lies between 127 and 128 once the low byte is cut off.
    for (const std::uint8_t b : bytes) samples.push_back(b - 127.5);
    return samples;
}

double FfmpegLoudness8(const std::string& rawPath, int rate) {
    const std::string line = "ffmpeg -nostats -hide_banner -f u8 -ar " + std::to_string(rate) +
                             " -ac 1 -i '" + rawPath + "' -af ebur128 -f null - 2>&1";
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(line.c_str(), "r"), pclose);
    if (!pipe) throw std::runtime_error("cannot run: " + line);
    std::string output;
    char buffer[4096];
    while (const std::size_t n = fread(buffer, 1, sizeof buffer, pipe.get()))
        output.append(buffer, n);
    // The summary at the end: "Integrated loudness:\n    I:  -16.0 LUFS".
    const std::size_t summary = output.rfind("Integrated loudness:");
    const std::size_t value = output.find("I:", summary);
    if (summary == std::string::npos || value == std::string::npos) {
        throw std::runtime_error("no loudness: " + output);
    }
    return std::stod(output.substr(value + 2));
}

}  // namespace sonabank::test
