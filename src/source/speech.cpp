#include "source/speech.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "io/shared_library.h"

namespace sonabank {

namespace {

// How the child tells what went wrong; distinct from the small codes a
// library might exit() with on its own.
enum ChildStatus : int {
    kChildDone = 0,
    kChildNoData = 70,
    kChildUnknownVoice = 71,
    kChildTooLong = 72,
    kChildNoLibrary = 73,
};

// Writes all of `bytes`; false when the reader is gone.
bool WriteAll(int fd, const void* bytes, std::size_t size) {
    const char* p = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t written = ::write(fd, p, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        p += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// ---- In the child -------------------------------------------------------

// The child's one synthesis; the library's callback has no other way in.
struct Collector {
    int fd = -1;
    std::size_t samples = 0;
    std::size_t maxSamples = 0;
    bool tooLong = false;
    bool readerGone = false;
};
Collector* collector = nullptr;

int CollectSamples(short* wav, int count, espeak_EVENT*) {
    if (wav == nullptr || count <= 0) return 0;
    const auto n = static_cast<std::size_t>(count);
    if (collector->samples + n > collector->maxSamples) {
        collector->tooLong = true;
        return 1;  // stops the synthesis
    }
    collector->samples += n;
    if (!WriteAll(collector->fd, wav, n * sizeof(short))) {
        collector->readerGone = true;
        return 1;
    }
    return 0;
}

// The library's entry points. It is opened in the child only: it brings the
// sound server's and ALSA's libraries along, which a process that never
// plays does not load.
struct Espeak {
    decltype(&espeak_ng_InitializePath) InitializePath = nullptr;
    decltype(&espeak_ng_Initialize) Initialize = nullptr;
    decltype(&espeak_ng_PrintStatusCodeMessage) PrintStatusCodeMessage = nullptr;
    decltype(&espeak_ng_ClearErrorContext) ClearErrorContext = nullptr;
    decltype(&espeak_ng_InitializeOutput) InitializeOutput = nullptr;
    decltype(&espeak_ng_SetVoiceByName) SetVoiceByName = nullptr;
    decltype(&espeak_ng_SetParameter) SetParameter = nullptr;
    decltype(&espeak_ng_GetSampleRate) GetSampleRate = nullptr;
    decltype(&espeak_SetSynthCallback) SetSynthCallback = nullptr;
    decltype(&espeak_ng_Synthesize) Synthesize = nullptr;
    decltype(&espeak_ListVoices) ListVoices = nullptr;
};
Espeak espeak;

int InitializeLibrary(const std::string& dataPath) {
    SharedLibrary library("libespeak-ng.so.1");
    Espeak& e = espeak;
    if (!library.Bind(e.InitializePath, "espeak_ng_InitializePath") ||
        !library.Bind(e.Initialize, "espeak_ng_Initialize") ||
        !library.Bind(e.PrintStatusCodeMessage, "espeak_ng_PrintStatusCodeMessage") ||
        !library.Bind(e.ClearErrorContext, "espeak_ng_ClearErrorContext") ||
        !library.Bind(e.InitializeOutput, "espeak_ng_InitializeOutput") ||
        !library.Bind(e.SetVoiceByName, "espeak_ng_SetVoiceByName") ||
        !library.Bind(e.SetParameter, "espeak_ng_SetParameter") ||
        !library.Bind(e.GetSampleRate, "espeak_ng_GetSampleRate") ||
        !library.Bind(e.SetSynthCallback, "espeak_SetSynthCallback") ||
        !library.Bind(e.Synthesize, "espeak_ng_Synthesize") ||
        !library.Bind(e.ListVoices, "espeak_ListVoices")) {
        std::fputs(library.error().c_str(), stderr);
        return kChildNoLibrary;
    }
    e.InitializePath(dataPath.empty() ? nullptr : dataPath.c_str());
    espeak_ng_ERROR_CONTEXT context = nullptr;
    const espeak_ng_STATUS status = e.Initialize(&context);
    if (status != ENS_OK) {
        e.PrintStatusCodeMessage(status, stderr, context);
        e.ClearErrorContext(&context);
        return kChildNoData;
    }
    if (e.InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 0, nullptr) != ENS_OK) return kChildNoData;
    return kChildDone;
}

int SpeakInChild(int fd, const std::string& text, const SpeechOptions& options) {
    if (const int status = InitializeLibrary(options.dataPath); status != kChildDone) return status;
    if (espeak.SetVoiceByName(options.voice.c_str()) != ENS_OK) return kChildUnknownVoice;
    espeak.SetParameter(espeakRATE, options.wordsPerMinute, 0);
    espeak.SetParameter(espeakPITCH, options.pitch, 0);

    const std::int32_t rate = espeak.GetSampleRate();
    if (!WriteAll(fd, &rate, sizeof rate)) return EXIT_FAILURE;
    Collector sink{fd, 0, options.maxSamples};
    collector = &sink;
    espeak.SetSynthCallback(CollectSamples);
    // The library draws on rand() while it speaks; the child's generator is
    // the parent's, so seed it for the same samples whatever came before.
    std::srand(1);
    const espeak_ng_STATUS status = espeak.Synthesize(
        text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
    if (sink.tooLong) return kChildTooLong;
    if (sink.readerGone || status != ENS_OK) {
        if (status != ENS_OK) espeak.PrintStatusCodeMessage(status, stderr, nullptr);
        return EXIT_FAILURE;
    }
    return kChildDone;
}

int ListInChild(int fd, const std::string& language, const std::string& dataPath) {
    if (const int status = InitializeLibrary(dataPath); status != kChildDone) return status;
    espeak_VOICE wanted{};
    wanted.languages = language.c_str();
    const espeak_VOICE** voices = espeak.ListVoices(language.empty() ? nullptr : &wanted);
    std::string lines;
    for (; voices && *voices; ++voices) {
        const espeak_VOICE& voice = **voices;
        const std::string_view id = voice.identifier;
        // MBROLA voices need a synthesizer of their own; variants are not
        // voices but modifiers ("ru+f3").
        if (id.starts_with("mb/") || id.starts_with("!v/")) continue;
        // The languages field is a priority byte, a name, a zero byte, and so
        // on; the first name is the voice's own language.
        lines.append(voice.languages + 1).append("\t").append(voice.name).append("\n");
    }
    return WriteAll(fd, lines.data(), lines.size()) ? kChildDone : EXIT_FAILURE;
}

// ---- In the parent ------------------------------------------------------

struct ChildOutcome {
    std::string data;     // what the child wrote to its data pipe
    std::string detail;   // its stdout and stderr: the library's complaints
    int exitStatus = -1;  // -1 when it did not exit normally
    std::optional<SpeechError> startError;
};

void ClosePair(int fds[2]) {
    ::close(fds[0]);
    ::close(fds[1]);
}

// Reads both pipes to their ends, so that neither side waits on a full pipe.
void Drain(int dataFd, int detailFd, ChildOutcome& outcome) {
    pollfd fds[2] = {{dataFd, POLLIN, 0}, {detailFd, POLLIN, 0}};
    std::string* sinks[2] = {&outcome.data, &outcome.detail};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                fds[i].fd = -1;
                --open;
            } else {
                sinks[i]->append(buffer, static_cast<std::size_t>(got));
            }
        }
    }
}

ChildOutcome RunInChild(const std::function<int(int fd)>& work) {
    ChildOutcome outcome;
    int data[2];
    int detail[2];
    if (::pipe2(data, O_CLOEXEC) != 0) {
        outcome.startError = SpeechError{SpeechFailure::Broken, std::strerror(errno)};
        return outcome;
    }
    if (::pipe2(detail, O_CLOEXEC) != 0) {
        outcome.startError = SpeechError{SpeechFailure::Broken, std::strerror(errno)};
        ClosePair(data);
        return outcome;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        outcome.startError = SpeechError{SpeechFailure::Broken, std::strerror(errno)};
        ClosePair(data);
        ClosePair(detail);
        return outcome;
    }
    if (pid == 0) {
        ::close(data[0]);
        ::close(detail[0]);
        // The library talks on both; whatever it says belongs to the error.
        ::dup2(detail[1], STDOUT_FILENO);
        ::dup2(detail[1], STDERR_FILENO);
        // _exit: the parent's unflushed output and its exit handlers are the
        // parent's business, and nothing may unwind into the parent's frames.
        int status = EXIT_FAILURE;
        try {
            status = work(data[1]);
        } catch (...) {
        }
        ::_exit(status);
    }
    ::close(data[1]);
    ::close(detail[1]);
    Drain(data[0], detail[0], outcome);
    ::close(data[0]);
    ::close(detail[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) outcome.exitStatus = WEXITSTATUS(status);
    // The library ends its complaints with a line break; the message is one line.
    std::replace(outcome.detail.begin(), outcome.detail.end(), '\n', ' ');
    while (outcome.detail.ends_with(' ')) outcome.detail.pop_back();
    return outcome;
}

// The error a child's ending stands for, if any.
std::optional<SpeechError> ChildError(const ChildOutcome& outcome, const std::string& voice) {
    if (outcome.startError) return outcome.startError;
    switch (outcome.exitStatus) {
        case kChildDone:
            return std::nullopt;
        case kChildNoLibrary:
            return SpeechError{SpeechFailure::NotInstalled, outcome.detail};
        case kChildNoData:
            return SpeechError{SpeechFailure::NoData, outcome.detail};
        case kChildUnknownVoice:
            return SpeechError{SpeechFailure::UnknownVoice, voice};
        case kChildTooLong:
            return SpeechError{SpeechFailure::TooLong, {}};
        default:
            return SpeechError{SpeechFailure::Broken, outcome.detail};
    }
}

}  // namespace

std::string SpeechErrorText(const SpeechError& error) {
    const auto withDetail = [&](std::string text) {
        return error.detail.empty() ? text : text + ": " + error.detail;
    };
    switch (error.failure) {
        case SpeechFailure::NotInstalled:
            return withDetail(
                "the speech synthesizer is not installed (Debian package libespeak-ng1)");
        case SpeechFailure::NoData:
            return withDetail(
                "the speech synthesizer's data is missing (Debian package espeak-ng-data)");
        case SpeechFailure::UnknownVoice:
            return "no voice \"" + error.detail + "\"";
        case SpeechFailure::BadSetting:
            return error.detail;
        case SpeechFailure::Silent:
            return withDetail("the text gives no speech");
        case SpeechFailure::TooLong:
            return "the speech is longer than any fragment can be";
        case SpeechFailure::Broken:
            return withDetail("the speech synthesizer failed");
    }
    return {};
}

Speech Speak(std::string_view text, const SpeechOptions& options) {
    Speech speech;
    if (options.wordsPerMinute < kMinWordsPerMinute ||
        options.wordsPerMinute > kMaxWordsPerMinute) {
        speech.error =
            SpeechError{SpeechFailure::BadSetting,
                        "the speed must be " + std::to_string(kMinWordsPerMinute) + " to " +
                            std::to_string(kMaxWordsPerMinute) + " words per minute"};
        return speech;
    }
    if (options.pitch < 0 || options.pitch > kMaxPitch) {
        speech.error = SpeechError{SpeechFailure::BadSetting,
                                   "the pitch must be 0 to " + std::to_string(kMaxPitch)};
        return speech;
    }
    // The library reads the text up to its first zero byte.
    const std::string ownText(text.substr(0, text.find('\0')));
    const ChildOutcome outcome =
        RunInChild([&](int fd) { return SpeakInChild(fd, ownText, options); });
    speech.error = ChildError(outcome, options.voice);
    if (speech.error) return speech;

    std::int32_t rate = 0;
    if (outcome.data.size() < sizeof rate || (outcome.data.size() - sizeof rate) % 2 != 0) {
        speech.error = SpeechError{SpeechFailure::Broken, outcome.detail};
        return speech;
    }
    std::memcpy(&rate, outcome.data.data(), sizeof rate);
    speech.sampleRate = rate;
    speech.samples.resize((outcome.data.size() - sizeof rate) / 2);
    std::memcpy(speech.samples.data(), outcome.data.data() + sizeof rate,
                speech.samples.size() * 2);
    // A missing dictionary is only a complaint on stderr and silence.
    if (std::all_of(speech.samples.begin(), speech.samples.end(),
                    [](std::int16_t s) { return s == 0; })) {
        speech.samples.clear();
        speech.error = SpeechError{SpeechFailure::Silent, outcome.detail};
    }
    return speech;
}

VoiceList ListVoices(std::string_view language, const std::string& dataPath) {
    VoiceList list;
    const std::string ownLanguage(language.substr(0, language.find('\0')));
    const ChildOutcome outcome =
        RunInChild([&](int fd) { return ListInChild(fd, ownLanguage, dataPath); });
    list.error = ChildError(outcome, {});
    if (list.error) return list;
    std::string_view lines = outcome.data;
    while (!lines.empty()) {
        const std::size_t end = lines.find('\n');
        const std::string_view line = lines.substr(0, end);
        lines.remove_prefix(end == std::string_view::npos ? lines.size() : end + 1);
        const std::size_t tab = line.find('\t');
        list.voices.push_back(
            {std::string(line.substr(0, tab)),
             tab == std::string_view::npos ? std::string() : std::string(line.substr(tab + 1))});
    }
    return list;
}

}  // namespace sonabank
