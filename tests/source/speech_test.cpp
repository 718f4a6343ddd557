// The synthesizer as the core sees it: speech in memory, the same samples
// for the same text, and every failure an ordinary result.

#include "source/speech.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace sonabank::test {
namespace {

namespace fs = std::filesystem;

const fs::path kInstalledData = "/usr/lib/x86_64-linux-gnu/espeak-ng-data";

double Seconds(const Speech& speech) {
    return static_cast<double>(speech.samples.size()) / speech.sampleRate;
}

TEST(Speech, SpeaksTheSameSamplesForTheSameText) {
    struct Case {
        const char* voice;
        const char* text;
    };
    for (const Case& c : {Case{"ru", "Дверь открыта."}, Case{"en", "The battery is low."}}) {
        SCOPED_TRACE(c.voice);
        SpeechOptions options;
        options.voice = c.voice;
        const Speech first = Speak(c.text, options);
        ASSERT_TRUE(first.ok()) << SpeechErrorText(*first.error);
        EXPECT_EQ(first.sampleRate, 22050);
        EXPECT_GT(Seconds(first), 0.3);
        EXPECT_LT(Seconds(first), 10.0);
        // Spoken right after another text, which in one library instance
        // would start from where that one left the wave generator.
        EXPECT_EQ(Speak(c.text, options).samples, first.samples);
    }
    // The library's switch of the locale stays in its own process, and so
    // does the library itself, with the sound libraries it loads.
    EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
    std::ifstream maps("/proc/self/maps");
    const std::string mapped((std::istreambuf_iterator<char>(maps)), {});
    EXPECT_EQ(mapped.find("libespeak"), std::string::npos);
}

TEST(Speech, SpeedAndPitchChangeTheSpeech) {
    const std::string text = "Один, два, три, четыре.";
    SpeechOptions slow;
    slow.wordsPerMinute = kMinWordsPerMinute;
    SpeechOptions fast;
    fast.wordsPerMinute = kMaxWordsPerMinute;
    EXPECT_GT(Speak(text, slow).samples.size(), 2 * Speak(text, fast).samples.size());

    SpeechOptions low;
    low.pitch = 0;
    SpeechOptions high;
    high.pitch = kMaxPitch;
    const Speech lowSpeech = Speak(text, low);
    ASSERT_TRUE(lowSpeech.ok());
    EXPECT_NE(lowSpeech.samples, Speak(text, high).samples);
}

TEST(Speech, FailuresAreResults) {
    TempDir dir;
    // A data folder with everything but the Russian dictionary.
    const fs::path partial = dir.path() / "partial";
    fs::create_directory(partial);
    for (const auto& entry : fs::directory_iterator(kInstalledData)) {
        if (entry.path().filename() != "ru_dict") {
            fs::create_symlink(entry.path(), partial / entry.path().filename());
        }
    }
    struct Case {
        const char* name;
        std::string text;
        SpeechOptions options;
        SpeechFailure failure;
        const char* message;  // a part of the error text
    };
    const auto with = [](auto change) {
        SpeechOptions options;
        change(options);
        return options;
    };
    const Case cases[] = {
        {"no data", "Да", with([&](SpeechOptions& o) { o.dataPath = dir.path().string(); }),
         SpeechFailure::NoData, "espeak-ng-data"},
        {"no dictionary", "Да", with([&](SpeechOptions& o) { o.dataPath = partial.string(); }),
         SpeechFailure::Silent, "ru_dict"},
        {"unknown voice", "Да", with([](SpeechOptions& o) { o.voice = "xx-nowhere"; }),
         SpeechFailure::UnknownVoice, "no voice \"xx-nowhere\""},
        {"too slow", "Да",
         with([](SpeechOptions& o) { o.wordsPerMinute = kMinWordsPerMinute - 1; }),
         SpeechFailure::BadSetting, "80 to 450 words per minute"},
        {"too fast", "Да",
         with([](SpeechOptions& o) { o.wordsPerMinute = kMaxWordsPerMinute + 1; }),
         SpeechFailure::BadSetting, "80 to 450"},
        {"pitch below", "Да", with([](SpeechOptions& o) { o.pitch = -1; }),
         SpeechFailure::BadSetting, "0 to 99"},
        {"pitch above", "Да", with([](SpeechOptions& o) { o.pitch = kMaxPitch + 1; }),
         SpeechFailure::BadSetting, "0 to 99"},
        {"empty text", "", {}, SpeechFailure::Silent, "no speech"},
        {"punctuation only", " ...  ", {}, SpeechFailure::Silent, "no speech"},
        {"zero byte first", std::string("\0Да", 5), {}, SpeechFailure::Silent, "no speech"},
        {"too long", "Дверь открыта.", with([](SpeechOptions& o) { o.maxSamples = 1000; }),
         SpeechFailure::TooLong, "longer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Speech speech = Speak(c.text, c.options);
        ASSERT_FALSE(speech.ok());
        EXPECT_EQ(speech.error->failure, c.failure);
        EXPECT_NE(SpeechErrorText(*speech.error).find(c.message), std::string::npos)
            << SpeechErrorText(*speech.error);
        EXPECT_TRUE(speech.samples.empty());
    }
}

TEST(Speech, ListsTheVoicesOfALanguage) {
    const auto has = [](const VoiceList& list, const std::string& language) {
        for (const Voice& voice : list.voices) {
            if (voice.language == language) return true;
        }
        return false;
    };
    const VoiceList russian = ListVoices("ru");
    ASSERT_FALSE(russian.error);
    ASSERT_FALSE(russian.voices.empty());
    EXPECT_EQ(russian.voices.front().language, "ru");
    EXPECT_EQ(russian.voices.front().name, "Russian");
    EXPECT_FALSE(has(russian, "en"));

    const VoiceList english = ListVoices("en");
    EXPECT_TRUE(has(english, "en-us"));
    // The MBROLA voices need a synthesizer Debian's packages do not bring.
    for (const Voice& voice : english.voices)
        EXPECT_EQ(voice.name.find("mbrola"), std::string::npos);

    const VoiceList all = ListVoices();
    EXPECT_GT(all.voices.size(), 100u);
    EXPECT_TRUE(has(all, "ru") && has(all, "en-us"));
}

TEST(Speech, TheVoiceByItsName) {
    SpeechOptions byName;
    byName.voice = "Russian";
    EXPECT_EQ(Speak("Да", byName).samples, Speak("Да").samples);
}

}  // namespace
}  // namespace sonabank::test
