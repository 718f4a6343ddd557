#pragma once

// The command line after the command's name: positional arguments and the
// few options the commands share.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image/fragment_list.h"
#include "image/memory_image.h"
#include "source/device_conversion.h"
#include "source/raw_file_source.h"
#include "source/speech.h"

namespace sonabank::cli {

enum Option : unsigned {
    kOptForce = 1u << 0,
    kOptWidth = 1u << 1,
    kOptFormat = 1u << 2,
    kOptDescription = 1u << 3,
    kOptLoudness = 1u << 4,
    kOptPeak = 1u << 5,
    kOptDither = 1u << 6,
    kOptGain = kOptLoudness | kOptPeak | kOptDither,
    kOptVoice = 1u << 7,
    kOptSpeed = 1u << 8,
    kOptPitch = 1u << 9,
    kOptSay = 1u << 10,
    kOptSpeech = kOptVoice | kOptSpeed | kOptPitch,
    kOptJson = 1u << 11,
};

struct Arguments {
    std::vector<std::string> positional;
    bool force = false;
    bool json = false;
    std::optional<std::string> width;
    std::optional<std::string> format;
    // Absent and empty differ: change keeps the description when absent.
    std::optional<std::string> description;
    std::optional<std::string> loudness;
    std::optional<std::string> peak;
    bool dither = false;
    std::optional<std::string> voice;
    std::optional<std::string> speed;
    std::optional<std::string> pitch;
    std::optional<std::string> say;
};

// Options may stand anywhere, as "--name value" or "--name=value"; after
// "--" everything is positional. Any other word that starts with "-" (but "-"
// alone) is an unknown option. Throws a usage error for an option the
// command does not take, a missing value or a repeated option.
Arguments ParseArguments(std::span<const std::string> args, unsigned allowedOptions);

// "8" or "16"; a usage error "WHAT must be 8 or 16, not "TEXT"" for any other
// text.
SourceWidth WidthValue(std::string_view what, std::string_view text);
// "pcm22050", "pcm11025" or "adpcm"; a usage error like WidthValue's for any
// other text.
SoundFormat FormatValue(std::string_view what, std::string_view text);

// The width and format options, 8-bit and PCM 22050 Hz when not given.
SourceWidth WidthOption(const Arguments& args);
SoundFormat FormatOption(const Arguments& args);

// --voice, --speed and --pitch over the synthesizer's defaults (Russian).
// Their ranges are the synthesizer's to check.
SpeechOptions SpeechOptionsOf(const Arguments& args);

// --loudness, --peak and --dither for audio files and speech; wrong usage for a value
// that is no number in range, or for both levels at once.
GainOptions GainOption(const Arguments& args);

// The grid row of the fragment that NUMBER (as the list shows it) names;
// wrong usage when it names no listed fragment.
int FragmentRowOf(std::string_view number, const FragmentList& list);

}  // namespace sonabank::cli
