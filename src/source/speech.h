#pragma once

// Speech from text: the espeak-ng synthesizer, into memory, 16-bit mono.
//
// The library keeps all its state in process globals, switches the process's
// character-type locale, may exit() when its data is missing, and its wave
// generator carries phase and gain from one text into the next, so the same
// text spoken twice in one process comes out different. Every call therefore
// runs the library in a child process of its own, initialised once and used
// by its one thread: the caller's state stays as it was, a text always gives
// the same samples, and whatever goes wrong inside the library comes back as
// an error result. The library is loaded in the child only, so the caller
// never maps it or the sound libraries it brings. Call it from a process that
// has started no threads (the command-line tool and the tests): the child
// runs on after fork() without exec.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sonabank {

inline constexpr std::string_view kDefaultVoice = "ru";
inline constexpr int kMinWordsPerMinute = 80;
inline constexpr int kMaxWordsPerMinute = 450;
inline constexpr int kDefaultWordsPerMinute = 175;
inline constexpr int kMaxPitch = 99;
inline constexpr int kDefaultPitch = 50;
// Ten minutes at the synthesizer's 22050 Hz: longer than the largest
// fragment the image can hold in any format, so nothing storable is cut off,
// and a runaway text cannot fill the memory.
inline constexpr std::size_t kMaxSpeechSamples = 600 * 22050;

struct SpeechOptions {
    // A language ("ru", "en-us") or a voice's name as ListVoices gives them,
    // optionally with a variant ("ru+f3").
    std::string voice{kDefaultVoice};
    int wordsPerMinute = kDefaultWordsPerMinute;  // kMinWordsPerMinute..kMaxWordsPerMinute
    int pitch = kDefaultPitch;                    // 0..kMaxPitch
    // The folder holding the synthesizer's data (or its espeak-ng-data
    // folder); empty: $ESPEAK_DATA_PATH, then the installed data.
    std::string dataPath;
    std::size_t maxSamples = kMaxSpeechSamples;
};

enum class SpeechFailure {
    NotInstalled,  // the synthesizer's library cannot be loaded
    NoData,        // the synthesizer's data is missing or unreadable
    UnknownVoice,  // no voice by that name
    BadSetting,    // speed or pitch out of range
    Silent,        // the text gives nothing to hear (or the voice's dictionary is missing)
    TooLong,       // more than maxSamples
    Broken,        // the synthesizer could not be run or ended abnormally
};

struct SpeechError {
    SpeechFailure failure;
    std::string detail;  // what the synthesizer said about it, or the setting concerned
};

// One line for the user, in English like the tool's other messages.
std::string SpeechErrorText(const SpeechError& error);

struct Speech {
    std::vector<std::int16_t> samples;  // mono
    int sampleRate = 0;
    std::optional<SpeechError> error;
    bool ok() const { return !error; }
};

Speech Speak(std::string_view text, const SpeechOptions& options = {});

struct Voice {
    std::string language;  // what SpeechOptions::voice takes, e.g. "ru"
    std::string name;      // e.g. "Russian"; also accepted as the voice
};

struct VoiceList {
    std::vector<Voice> voices;
    std::optional<SpeechError> error;
};

// The voices that speak `language` ("en" finds "en-us" too), best first, or
// every voice when it is empty. Voices that need the separate MBROLA
// synthesizer are left out.
VoiceList ListVoices(std::string_view language = {}, const std::string& dataPath = {});

}  // namespace sonabank
