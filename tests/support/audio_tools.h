#pragma once

// Audio test material made and judged at run time by independent tools
// (sox, ffmpeg), so no binary fixture is kept in the repository.

#include <span>
#include <string>
#include <vector>

namespace sonabank::test {

// Runs a command line in the shell; throws with the line when it fails.
void Shell(const std::string& commandLine);

// The frequency of a tone, from its rising zero crossings (interpolated
// between samples) over the whole periods between the first and the last.
double ToneFrequency(std::span<const double> samples, double rate);

// 8-bit unsigned samples centred on zero, for ToneFrequency and the like.
std::vector<double> Centred8(std::span<const std::uint8_t> bytes);

// Integrated loudness (LUFS) of 8-bit unsigned mono samples at `rate`, as
// ffmpeg's ebur128 filter measures it.
double FfmpegLoudness8(const std::string& rawPath, int rate);

}  // namespace sonabank::test
