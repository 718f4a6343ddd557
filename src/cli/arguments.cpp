#include "cli/arguments.h"

#include <algorithm>
#include <charconv>

#include "cli/cli_failure.h"

namespace sonabank::cli {

namespace {

struct OptionSpec {
    std::string_view name;
    Option option;
    std::optional<std::string> Arguments::*value;  // nullptr for a flag
    bool Arguments::*flag;                         // nullptr for a value
};

constexpr OptionSpec kOptions[] = {
    {"--force", kOptForce, nullptr, &Arguments::force},
    {"--json", kOptJson, nullptr, &Arguments::json},
    {"--width", kOptWidth, &Arguments::width, nullptr},
    {"--format", kOptFormat, &Arguments::format, nullptr},
    {"--description", kOptDescription, &Arguments::description, nullptr},
    {"--loudness", kOptLoudness, &Arguments::loudness, nullptr},
    {"--peak", kOptPeak, &Arguments::peak, nullptr},
    {"--dither", kOptDither, nullptr, &Arguments::dither},
    {"--voice", kOptVoice, &Arguments::voice, nullptr},
    {"--speed", kOptSpeed, &Arguments::speed, nullptr},
    {"--pitch", kOptPitch, &Arguments::pitch, nullptr},
    {"--say", kOptSay, &Arguments::say, nullptr},
};

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

int WholeNumberOption(std::string_view name, const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        throw UsageError(std::string(name) + " must be a whole number, not " + Quoted(text));
    }
    return value;
}

}  // namespace

Arguments ParseArguments(std::span<const std::string> args, unsigned allowedOptions) {
    Arguments parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || !arg.starts_with('-')) {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string_view name = std::string_view(arg).substr(0, equals);
        const auto* known = std::find_if(std::begin(kOptions), std::end(kOptions),
                                         [&](const OptionSpec& s) { return s.name == name; });
        if (known == std::end(kOptions) || !(allowedOptions & known->option)) {
            throw UsageError("unknown option " + std::string(name));
        }
        if (!known->value) {
            if (equals != std::string::npos)
                throw UsageError(std::string(name) + " takes no value");
            bool& flag = parsed.*(known->flag);
            if (flag) throw UsageError(std::string(name) + " given twice");
            flag = true;
            continue;
        }
        std::optional<std::string>& value = parsed.*(known->value);
        if (value) throw UsageError(std::string(name) + " given twice");
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            throw UsageError(std::string(name) + " needs a value");
        }
    }
    return parsed;
}

SourceWidth WidthValue(std::string_view what, std::string_view text) {
    if (text == "8") return SourceWidth::Bits8;
    if (text == "16") return SourceWidth::Bits16;
    throw UsageError(std::string(what) + " must be 8 or 16, not " + Quoted(text));
}

SoundFormat FormatValue(std::string_view what, std::string_view text) {
    if (text == "pcm22050") return SoundFormat::PCM_22050;
    if (text == "pcm11025") return SoundFormat::PCM_11025;
    if (text == "adpcm") return SoundFormat::ADPCM_11025;
    throw UsageError(std::string(what) + " must be pcm22050, pcm11025 or adpcm, not " +
                     Quoted(text));
}

SourceWidth WidthOption(const Arguments& args) {
    return args.width ? WidthValue("--width", *args.width) : SourceWidth::Bits8;
}

SoundFormat FormatOption(const Arguments& args) {
    return args.format ? FormatValue("--format", *args.format) : SoundFormat::PCM_22050;
}

namespace {

// A level in dB between `lowest` and 0.
double LevelOption(std::string_view name, const std::string& text, double lowest) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || !(value >= lowest && value <= 0)) {
        throw UsageError(std::string(name) + " must be a number from " +
                         std::to_string(static_cast<int>(lowest)) + " to 0, not " + Quoted(text));
    }
    return value;
}

}  // namespace

GainOptions GainOption(const Arguments& args) {
    if (args.loudness && args.peak) throw UsageError("--loudness and --peak exclude each other");
    GainOptions gain;
    if (args.loudness) gain.loudnessLufs = LevelOption("--loudness", *args.loudness, -70);
    if (args.peak) gain.peakDbfs = LevelOption("--peak", *args.peak, -60);
    gain.dither = args.dither;
    return gain;
}

SpeechOptions SpeechOptionsOf(const Arguments& args) {
    SpeechOptions options;
    if (args.voice) options.voice = *args.voice;
    if (args.speed) options.wordsPerMinute = WholeNumberOption("--speed", *args.speed);
    if (args.pitch) options.pitch = WholeNumberOption("--pitch", *args.pitch);
    return options;
}

int FragmentRowOf(std::string_view number, const FragmentList& list) {
    int value = -1;
    const char* end = number.data() + number.size();
    const bool digitsOnly =
        !number.empty() &&
        std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digitsOnly) {
        const auto [ptr, ec] = std::from_chars(number.data(), end, value);
        if (ec != std::errc() || ptr != end) value = -1;
    }
    if (value < 0 || value >= list.count()) {
        throw UsageError("NUMBER " + Quoted(number) + " names no fragment; the image lists " +
                         std::to_string(list.count()));
    }
    return value + 1;
}

}  // namespace sonabank::cli
