#include "cli/commands.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_failure.h"
#include "cli/manifest.h"
#include "cli/play_command.h"
#include "image/catalogue_check.h"
#include "image/codepage.h"
#include "image/fragment_list.h"
#include "image/fragment_storage.h"
#include "image/grid_rules.h"
#include "image/memory_image.h"
#include "io/byte_stream.h"
#include "project/project.h"
#include "source/speech.h"

namespace sonabank::cli {

namespace fs = std::filesystem;

namespace {

// Ends the command unless it succeeded: a refusal after the file or line it
// concerns, an input/output error after `ioWhere` when given.
void Check(const Outcome& outcome, std::string_view where, std::string_view ioWhere = {}) {
    if (outcome.refusal && !outcome.detail.empty()) {
        throw CliFailure(kRefused, std::string(Refused(*outcome.refusal, where).what()) + " (" +
                                       outcome.detail + ")");
    }
    if (outcome.refusal) throw Refused(*outcome.refusal, where);
    if (outcome.ioError) {
        const std::string text = IoErrorText(*outcome.ioError);
        throw CliFailure(kIoFailure, ioWhere.empty() ? text : std::string(ioWhere) + ": " + text);
    }
}

Project Load(const std::string& path) {
    Project project;
    Check(project.Open(path), path);
    return project;
}

// Refusals that concern the sound file name it; the others stand alone.
std::string_view ImportWhere(const Outcome& outcome, const std::string& rawPath) {
    const auto refusal = outcome.refusal;
    const bool aboutFile = refusal == Refusal::CannotOpen || refusal == Refusal::TooBig ||
                           refusal == Refusal::NoSoundData || refusal == Refusal::NotDecodable;
    return aboutFile ? std::string_view(rawPath) : std::string_view();
}

std::string Fixed(double value, int decimals, bool sign = false) {
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    std::ostringstream text;
    text << std::fixed << std::setprecision(decimals) << (sign ? std::showpos : std::noshowpos)
         << value;
    return text.str();
}

// One line about what an import stored, for the fragment that `list` shows
// as `number`.
void PrintQuality(std::ostream& out, int number, const QualityReport& report) {
    out << "fragment " << number << ": " << Fixed(report.durationSeconds, 2) << " s at "
        << report.rate << " Hz (" << FormatName(static_cast<int>(report.format)) << "), peak "
        << Fixed(report.peakDbfs, 1) << " dBFS, gain " << Fixed(report.gainDb, 1, true)
        << " dB, clipped " << report.clippedSamples;
    if (report.adpcmSnrDb) out << ", ADPCM SNR " << Fixed(*report.adpcmSnrDb, 1) << " dB";
    out << '\n';
}

void PrintQuality(std::ostream& out, const Outcome& outcome) {
    if (outcome.quality) PrintQuality(out, outcome.row - 1, *outcome.quality);
}

// The synthesizer's refusals; a voice, speed or pitch it does not take is
// wrong usage.
void CheckSpeech(const Outcome& outcome, std::string_view where) {
    if (!outcome.speechError) return;
    const SpeechError& error = *outcome.speechError;
    const std::string message =
        (where.empty() ? std::string() : std::string(where) + ": ") + SpeechErrorText(error);
    if (error.failure == SpeechFailure::BadSetting) throw UsageError(message);
    if (error.failure == SpeechFailure::UnknownVoice) {
        throw UsageError(message + "; `sonabank-cli voices` lists them");
    }
    throw CliFailure(kRefused, message);
}

// A text longer than the description field is cut; the command says so.
void WarnIfCut(std::ostream& err, std::string_view where, const SpokenFragment& fragment) {
    const std::string stored = Utf8ToCp1251(SpokenDescription(fragment));
    if (stored.size() <= DESCRIPTION_WIDTH) return;
    err << "warning: " << where << (where.empty() ? "" : ": ") << "description stored as \""
        << Cp1251ToUtf8(stored.substr(0, DESCRIPTION_WIDTH)) << "\" (cut to " << DESCRIPTION_WIDTH
        << " characters)\n";
}

// A fragment spoken from `text` with the speech, format and gain options.
SpokenFragment SpokenOf(const Arguments& args, std::string text, std::string description) {
    return {std::move(text), SpeechOptionsOf(args), FormatOption(args), GainOption(args),
            std::move(description)};
}

// Speaks a new fragment, or over the one of `row`; ends the command unless
// that succeeded.
Outcome SpeakInto(const CommandContext& c, Project& project, std::optional<int> row,
                  const SpokenFragment& fragment, std::string_view where) {
    const Outcome outcome =
        row ? project.ChangeSpoken(*row, fragment) : project.AddSpoken(fragment);
    CheckSpeech(outcome, where);
    Check(outcome, where, where);
    WarnIfCut(c.err, where, fragment);
    return outcome;
}

int RunNew(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    std::error_code ignored;
    if (!c.args.force && fs::exists(fs::symlink_status(path, ignored))) {
        throw CliFailure(kRefused, path + ": the file exists; --force replaces it");
    }
    Project project;
    Check(project.SaveAs(path), path);
    return kSuccess;
}

int RunList(const CommandContext& c) {
    const Project project = Load(c.args.positional[0]);
    const MemoryImage& image = project.image();
    for (const FragmentRow& row : ListFragments(image).rows) {
        const int slot = row.row - 1;
        c.out << slot << '\t' << ChangePrefill(image, row.row) << '\t'
              << row.formatName.value_or("") << '\t' << FragmentLength(image, slot) << '\t'
              << StartPage(image, slot) << '\n';
    }
    return kSuccess;
}

int RunInfo(const CommandContext& c) {
    const Project project = Load(c.args.positional[0]);
    const MemoryImage& image = project.image();
    c.out << "copyright: " << CopyrightBoxText(image) << '\n'
          << "fragments: " << ListFragments(image).count() << '\n'
          << "usage: " << UsageText(UsagePercent(image)) << '\n'
          << "used bytes: " << UsedBytes(image) << '\n'
          << "free bytes: " << Room(image) << '\n'
          << "first free page: " << FirstFreePage(image) << '\n';
    // What a fragment of each format could still last, for planning a prompt set.
    c.out << "free seconds:";
    const char* separator = " ";
    for (const SoundFormat format :
         {SoundFormat::PCM_22050, SoundFormat::PCM_11025, SoundFormat::ADPCM_11025}) {
        const double samples = static_cast<double>(std::max<std::int64_t>(Room(image), 0)) *
                               (format == SoundFormat::ADPCM_11025 ? 2 : 1);
        c.out << separator << FormatName(static_cast<int>(format)) << ' '
              << Fixed(samples / DeviceRate(format), 2);
        separator = ", ";
    }
    c.out << '\n';
    return kSuccess;
}

int RunAdd(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    Project project = Load(path);
    const RawFragment fragment{c.args.positional[1], WidthOption(c.args), FormatOption(c.args),
                               c.args.description.value_or(""), GainOption(c.args)};
    const Outcome added = project.Add(fragment);
    Check(added, ImportWhere(added, fragment.path));
    Check(project.Save(), path);
    PrintQuality(c.out, added);
    return kSuccess;
}

int RunChange(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    Project project = Load(path);
    const int row = FragmentRowOf(c.args.positional[1], ListFragments(project.image()));
    const bool withFile = c.args.positional.size() > 2;
    if (c.args.say) {
        if (withFile || c.args.width) {
            throw UsageError("--say takes the place of FILE and --width");
        }
        const Outcome changed = SpeakInto(
            c, project, row, SpokenOf(c.args, *c.args.say, c.args.description.value_or("")), {});
        Check(project.Save(), path);
        PrintQuality(c.out, changed);
        return kSuccess;
    }
    if (c.args.voice || c.args.speed || c.args.pitch) {
        throw UsageError("--voice, --speed and --pitch need --say");
    }
    if (!withFile &&
        (c.args.width || c.args.format || c.args.loudness || c.args.peak || c.args.dither)) {
        throw UsageError(
            "--width, --format, --loudness, --peak and --dither need a FILE; without one only "
            "the description changes");
    }
    const RawFragment fragment{
        withFile ? c.args.positional[2] : std::string(), WidthOption(c.args), FormatOption(c.args),
        c.args.description ? *c.args.description : ChangePrefill(project.image(), row),
        GainOption(c.args)};
    const Outcome changed = project.Change(row, fragment);
    Check(changed, ImportWhere(changed, fragment.path));
    Check(project.Save(), path);
    PrintQuality(c.out, changed);
    return kSuccess;
}

int RunSay(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    Project project = Load(path);
    const Outcome added =
        SpeakInto(c, project, std::nullopt,
                  SpokenOf(c.args, c.args.positional[1], c.args.description.value_or("")), {});
    Check(project.Save(), path);
    PrintQuality(c.out, added);
    return kSuccess;
}

int RunDelete(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    Project project = Load(path);
    Check(project.Delete(FragmentRowOf(c.args.positional[1], ListFragments(project.image()))),
          path);
    Check(project.Save(), path);
    return kSuccess;
}

int RunCopyright(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    Project project = Load(path);
    Check(project.SetCopyright(c.args.positional[1]), path);
    Check(project.Save(), path);
    return kSuccess;
}

int RunExport(const CommandContext& c) {
    Project project = Load(c.args.positional[0]);
    const int row = FragmentRowOf(c.args.positional[1], ListFragments(project.image()));
    const std::string& outFile = c.args.positional[2];
    Check(project.Export(row, outFile), outFile);
    return kSuccess;
}

int RunWav(const CommandContext& c) {
    Project project = Load(c.args.positional[0]);
    const int row = FragmentRowOf(c.args.positional[1], ListFragments(project.image()));
    const std::string& outFile = c.args.positional[2];
    Check(project.WriteWave(row, outFile), outFile);
    return kSuccess;
}

int RunPlay(const CommandContext& c) {
    Project project = Load(c.args.positional[0]);
    return PlayFragment(project,
                        FragmentRowOf(c.args.positional[1], ListFragments(project.image())));
}

std::string ReadManifest(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A folder opens but cannot be read; either way the manifest is unusable.
    if (!in.is_open() || in.bad()) throw Refused(Refusal::CannotOpen, path);
    return text;
}

int RunBuild(const CommandContext& c) {
    const std::string& imagePath = c.args.positional[0];
    const std::string& manifestPath = c.args.positional[1];
    const auto entries = ParseManifest(ReadManifest(manifestPath), manifestPath);
    const fs::path folder = fs::path(manifestPath).parent_path();

    const GainOptions gain = GainOption(c.args);
    const SpeechOptions speech = SpeechOptionsOf(c.args);
    Project project;
    std::vector<Outcome> added;
    for (const ManifestEntry& entry : entries) {
        const std::string where = manifestPath + ":" + std::to_string(entry.line);
        if (entry.rawPath.starts_with(kSayPrefix)) {
            const SpokenFragment fragment{entry.rawPath.substr(kSayPrefix.size()), speech,
                                          entry.format, gain, entry.description};
            added.push_back(SpeakInto(c, project, std::nullopt, fragment, where));
            continue;
        }
        // An empty path stays empty, so that it is refused as no file at all.
        const RawFragment fragment{
            entry.rawPath.empty() ? std::string() : (folder / entry.rawPath).string(), entry.width,
            entry.format, entry.description, gain};
        added.push_back(project.Add(fragment));
        Check(added.back(), where, where);
    }
    Check(project.SaveAs(imagePath), imagePath);
    for (const Outcome& outcome : added) PrintQuality(c.out, outcome);
    return kSuccess;
}

// Reads the file without the magic test, so that a wrong magic is reported
// among the other problems instead of refusing the file.
int RunCheck(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    MemoryImage image;
    auto stream = ByteStream::OpenExisting(path);
    if (!stream) throw Refused(Refusal::CannotOpen, path);
    stream->ReadExact(image.bytes());
    stream->Close();

    const auto problems = CheckCatalogue(image);
    for (const CatalogueProblem& problem : problems) c.out << DescribeProblem(problem) << '\n';
    if (!problems.empty()) return kRefused;
    c.out << "OK: catalogue intact, fragments: " << ListFragments(image).count() << '\n';
    return kSuccess;
}

int RunVoices(const CommandContext& c) {
    const std::string language = c.args.positional.empty() ? std::string() : c.args.positional[0];
    const VoiceList list = ListVoices(language);
    if (list.error) throw CliFailure(kRefused, SpeechErrorText(*list.error));
    if (list.voices.empty()) throw CliFailure(kRefused, "no voice speaks \"" + language + "\"");
    for (const Voice& voice : list.voices) c.out << voice.language << '\t' << voice.name << '\n';
    return kSuccess;
}

constexpr Command kCommands[] = {
    {"new", "IMAGE [--force]", "write a fresh image; --force replaces an existing file", 1, 1,
     kOptForce, RunNew},
    {"list", "IMAGE",
     "one line per fragment: number, description, format, length, start page (TAB-separated)", 1, 1,
     0, RunList},
    {"info", "IMAGE",
     "copyright, fragments, usage, used and free bytes, first free page, free seconds per "
     "format",
     1, 1, 0, RunInfo},
    {"add", "IMAGE FILE [--width 8|16] [--format FORMAT] [--description TEXT] [GAIN]",
     "store a sound file as a new fragment behind the last one and report its quality", 2, 2,
     kOptWidth | kOptFormat | kOptDescription | kOptGain, RunAdd},
    {"change",
     "IMAGE NUMBER [FILE | --say TEXT [SPEECH]] [--width 8|16] [--format FORMAT] "
     "[--description TEXT] [GAIN]",
     "replace a fragment by a sound file or by speech, or rewrite only its description", 2, 3,
     kOptWidth | kOptFormat | kOptDescription | kOptGain | kOptSay | kOptSpeech, RunChange},
    {"say", "IMAGE TEXT [SPEECH] [--format FORMAT] [--description TEXT] [GAIN]",
     "speak TEXT into a new fragment behind the last one; the description defaults to TEXT", 2, 2,
     kOptSpeech | kOptFormat | kOptDescription | kOptGain, RunSay},
    {"delete", "IMAGE NUMBER", "remove a fragment", 2, 2, 0, RunDelete},
    {"copyright", "IMAGE TEXT", "set the copyright text (up to 28 characters)", 2, 2, 0,
     RunCopyright},
    {"export", "IMAGE NUMBER OUTFILE", "write a fragment as 8-bit RAW, ADPCM decoded", 3, 3, 0,
     RunExport},
    {"wav", "IMAGE NUMBER OUTFILE", "write the WAV file a fragment is played from", 3, 3, 0,
     RunWav},
    {"play", "IMAGE NUMBER",
     "play a fragment through the system's sound output until it ends; Ctrl+C stops it", 2, 2, 0,
     RunPlay},
    {"build", "IMAGE MANIFEST [SPEECH] [GAIN]",
     "make a fresh image from a manifest; GAIN applies to its audio files and spoken lines", 2, 2,
     kOptGain | kOptSpeech, RunBuild},
    {"check", "IMAGE", "report every broken invariant of the catalogue", 1, 1, 0, RunCheck},
    {"voices", "[LANGUAGE]",
     "the speech voices, or those speaking LANGUAGE (ru, en, ...), best first: language, name", 0,
     1, 0, RunVoices},
};

}  // namespace

std::span<const Command> Commands() {
    return kCommands;
}

}  // namespace sonabank::cli
