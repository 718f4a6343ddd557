#include "cli/commands.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iomanip>
#include <sstream>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "cli/cli_failure.h"
#include "cli/image_access.h"
#include "cli/manifest.h"
#include "cli/play_command.h"
#include "cli/text_escape.h"
#include "cli/warnings.h"
#include "image/catalogue_check.h"
#include "image/fragment_list.h"
#include "image/fragment_storage.h"
#include "image/grid_rules.h"
#include "image/memory_image.h"
#include "io/byte_stream.h"
#include "playback/wav_render.h"
#include "project/project.h"
#include "source/speech.h"

namespace sonabank::cli {

namespace fs = std::filesystem;

namespace {

// Ends the command unless it succeeded: a refusal after the file or line it
// concerns (with the decoder's words when it gave any), an input/output
// error after the file it happened to.
void Check(const Outcome& outcome, std::string_view where, std::string_view ioWhere) {
    if (outcome.refusal && !outcome.detail.empty()) {
        throw CliFailure(kRefused, std::string(Refused(*outcome.refusal, where).what()) + " (" +
                                       outcome.detail + ")");
    }
    if (outcome.refusal) throw Refused(*outcome.refusal, where);
    if (outcome.ioError) throw CliFailure(kIoFailure, std::string(ioWhere) + ": " + outcome.ioText);
}

// Reads IMAGE for a change (the caller holds LockForChange) or, under a
// shared lock of its own, for inspection.
Project Load(const std::string& path, ProjectAccess access) {
    const LockOutcome shared =
        access == ProjectAccess::Inspect ? LockForReading(path) : LockOutcome{};
    auto opened = Project::FromFile(path, access);
    if (const Outcome* failed = std::get_if<Outcome>(&opened)) {
        if (failed->refusal) throw RefusedFile(*failed->refusal, path, access);
        Check(*failed, path, path);
    }
    return std::move(std::get<Project>(opened));
}

void Save(Project& project, const std::string& path) {
    Check(project.Save(), path, path);
}

// Refusals that concern the sound file name it (with the cause of a
// CannotOpen); the others stand alone.
void CheckImport(const Outcome& outcome, const std::string& rawPath) {
    const auto refusal = outcome.refusal;
    if (refusal == Refusal::CannotOpen) throw RefusedFile(*refusal, rawPath);
    const bool aboutFile = refusal == Refusal::TooBig || refusal == Refusal::NoSoundData ||
                           refusal == Refusal::NotDecodable;
    Check(outcome, aboutFile ? std::string_view(rawPath) : std::string_view(), rawPath);
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

// A fragment spoken from `text` with the speech, format and gain options.
SpokenFragment SpokenOf(const Arguments& args, std::string text, std::string description) {
    return {std::move(text), SpeechOptionsOf(args), FormatOption(args), GainOption(args),
            std::move(description)};
}

// Speaks a new fragment, or over the one of `row`; ends the command unless
// that succeeded.
Outcome SpeakInto(Project& project, std::optional<int> row, const SpokenFragment& fragment,
                  std::string_view where, std::string_view ioWhere) {
    const Outcome outcome =
        row ? project.ChangeSpoken(*row, fragment) : project.AddSpoken(fragment);
    CheckSpeech(outcome, where);
    Check(outcome, where, ioWhere);
    return outcome;
}

// The end of a command that stored one fragment in IMAGE: the save, then
// what was stored.
int SaveAndReport(const CommandContext& c, Project& project, const std::string& path,
                  const Outcome& stored) {
    Save(project, path);
    PrintQuality(c.out, stored);
    WarnIfAltered(c.err, "the description was", stored, DESCRIPTION_WIDTH);
    return kSuccess;
}

int RunNew(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    RefuseExistingUnlessForced(path, c.args.force);
    const auto lock = LockForChange(path);
    Project project;
    Check(project.SaveAs(path), path, path);
    return kSuccess;
}

int RunList(const CommandContext& c) {
    const Project project = Load(c.args.positional[0], ProjectAccess::Inspect);
    const MemoryImage& image = project.image();
    const char* separator = "";
    if (c.args.json) c.out << '[';
    for (const FragmentRow& row : ListFragments(image).rows) {
        const int slot = row.row - 1;
        const std::string description = ChangePrefill(image, row.row);
        const std::uint32_t length = FragmentLength(image, slot);
        if (c.args.json) {
            // Without a known format there is no rate to time the bytes by.
            const std::string duration =
                row.formatName
                    ? Fixed(StoredSeconds(length, static_cast<SoundFormat>(
                                                      GetFragmentFormat(image, row.row))),
                            6)
                    : "null";
            c.out << separator << "{\"number\":" << slot
                  << ",\"description\":" << JsonString(description)
                  << ",\"format\":" << (row.formatName ? JsonString(*row.formatName) : "null")
                  << ",\"length\":" << length << ",\"startPage\":" << StartPage(image, slot)
                  << ",\"duration\":" << duration << '}';
            separator = ",";
            continue;
        }
        c.out << slot << '\t' << EscapedText(description) << '\t' << row.formatName.value_or("")
              << '\t' << length << '\t' << StartPage(image, slot) << '\n';
    }
    if (c.args.json) c.out << "]\n";
    return kSuccess;
}

int RunInfo(const CommandContext& c) {
    const Project project = Load(c.args.positional[0], ProjectAccess::Inspect);
    const MemoryImage& image = project.image();
    const std::size_t problems = CheckCatalogue(image).size();
    // A foreign catalogue may claim more than the data area holds; the free
    // room is then none, not a negative count.
    const std::int64_t free = std::max<std::int64_t>(Room(image), 0);
    if (c.args.json) {
        c.out << "{\"copyright\":" << JsonString(CopyrightBoxText(image))
              << ",\"fragments\":" << ListFragments(image).count()
              << ",\"usagePercent\":" << UsagePercent(image)
              << ",\"usedBytes\":" << UsedBytes(image) << ",\"freeBytes\":" << free
              << ",\"firstFreePage\":" << FirstFreePage(image)
              << ",\"consistent\":" << (problems == 0 ? "true" : "false") << "}\n";
        return kSuccess;
    }
    c.out << "copyright: " << EscapedText(CopyrightBoxText(image)) << '\n'
          << "fragments: " << ListFragments(image).count() << '\n'
          << "usage: " << UsageText(UsagePercent(image)) << '\n'
          << "used bytes: " << UsedBytes(image) << '\n'
          << "free bytes: " << free << '\n'
          << "first free page: " << FirstFreePage(image) << '\n';
    // What a fragment of each format could still last, for planning a prompt set.
    c.out << "free seconds:";
    const char* separator = " ";
    for (const SoundFormat format :
         {SoundFormat::PCM_22050, SoundFormat::PCM_11025, SoundFormat::ADPCM_11025}) {
        c.out << separator << FormatName(static_cast<int>(format)) << ' '
              << Fixed(StoredSeconds(static_cast<std::uint64_t>(free), format), 2);
        separator = ", ";
    }
    c.out << '\n';
    if (problems != 0) {
        c.out << "catalogue: inconsistent, problems: " << problems
              << "; the figures above are what it claims (check lists them)\n";
    }
    return kSuccess;
}

int RunAdd(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    const auto lock = LockForChange(path);
    Project project = Load(path, ProjectAccess::Edit);
    const RawFragment fragment{c.args.positional[1], WidthOption(c.args), FormatOption(c.args),
                               c.args.description.value_or(""), GainOption(c.args)};
    const Outcome added = project.Add(fragment);
    CheckImport(added, fragment.path);
    return SaveAndReport(c, project, path, added);
}

int RunChange(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    const bool withFile = c.args.positional.size() > 2;
    if (c.args.say && (withFile || c.args.width)) {
        throw UsageError("--say takes the place of FILE and --width");
    }
    if (!c.args.say && (c.args.voice || c.args.speed || c.args.pitch)) {
        throw UsageError("--voice, --speed and --pitch need --say");
    }
    if (!withFile && !c.args.say &&
        (c.args.width || c.args.format || c.args.loudness || c.args.peak || c.args.dither)) {
        throw UsageError(
            "--width, --format, --loudness, --peak and --dither need a FILE; without one only "
            "the description changes");
    }
    const auto lock = LockForChange(path);
    Project project = Load(path, ProjectAccess::Edit);
    const int row = FragmentRowOf(c.args.positional[1], ListFragments(project.image()));
    if (c.args.say) {
        // Spoken over a fragment, it is described as say describes it.
        const Outcome spoken = SpeakInto(
            project, row, SpokenOf(c.args, *c.args.say, c.args.description.value_or("")), {}, path);
        return SaveAndReport(c, project, path, spoken);
    }
    RawFragment fragment{withFile ? c.args.positional[2] : std::string(), WidthOption(c.args),
                         FormatOption(c.args), c.args.description.value_or(""), GainOption(c.args)};
    fragment.keepStoredDescription = !c.args.description;
    const Outcome changed = project.Change(row, fragment);
    CheckImport(changed, fragment.path);
    return SaveAndReport(c, project, path, changed);
}

int RunSay(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    const auto lock = LockForChange(path);
    Project project = Load(path, ProjectAccess::Edit);
    const Outcome added = SpeakInto(
        project, std::nullopt,
        SpokenOf(c.args, c.args.positional[1], c.args.description.value_or("")), {}, path);
    return SaveAndReport(c, project, path, added);
}

int RunDelete(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    const auto lock = LockForChange(path);
    Project project = Load(path, ProjectAccess::Edit);
    Check(project.Delete(FragmentRowOf(c.args.positional[1], ListFragments(project.image()))), path,
          path);
    Save(project, path);
    return kSuccess;
}

int RunCopyright(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    const auto lock = LockForChange(path);
    Project project = Load(path, ProjectAccess::Edit);
    const Outcome set = project.SetCopyright(c.args.positional[1]);
    Check(set, path, path);
    Save(project, path);
    WarnIfAltered(c.err, "the copyright was", set, COPYRIGHT_WIDTH);
    return kSuccess;
}

int RunExport(const CommandContext& c) {
    Project project = Load(c.args.positional[0], ProjectAccess::Inspect);
    const int row = FragmentRowOf(c.args.positional[1], ListFragments(project.image()));
    const std::string& outFile = c.args.positional[2];
    Check(project.Export(row, outFile), outFile, outFile);
    WarnIfClipped(c.err, project.image(), row, FragmentSampleCount(project.image(), row));
    return kSuccess;
}

int RunWav(const CommandContext& c) {
    Project project = Load(c.args.positional[0], ProjectAccess::Inspect);
    const int row = FragmentRowOf(c.args.positional[1], ListFragments(project.image()));
    const std::string& outFile = c.args.positional[2];
    Check(project.WriteWave(row, outFile), outFile, outFile);
    WarnIfClipped(c.err, project.image(), row, FragmentSampleCount(project.image(), row));
    return kSuccess;
}

int RunPlay(const CommandContext& c) {
    Project project = Load(c.args.positional[0], ProjectAccess::Inspect);
    return PlayFragment(project,
                        FragmentRowOf(c.args.positional[1], ListFragments(project.image())));
}

int RunBuild(const CommandContext& c) {
    const std::string& imagePath = c.args.positional[0];
    const std::string& manifestPath = c.args.positional[1];
    RefuseExistingUnlessForced(imagePath, c.args.force);
    const auto entries = ParseManifest(ReadManifest(manifestPath), manifestPath);
    const fs::path folder = fs::path(manifestPath).parent_path();

    const GainOptions gain = GainOption(c.args);
    const SpeechOptions speech = SpeechOptionsOf(c.args);
    Project project;
    std::vector<std::pair<std::string, Outcome>> added;
    for (const ManifestEntry& entry : entries) {
        const std::string where = manifestPath + ":" + std::to_string(entry.line);
        if (entry.rawPath.starts_with(kSayPrefix)) {
            const SpokenFragment fragment{entry.rawPath.substr(kSayPrefix.size()), speech,
                                          entry.format, gain, entry.description};
            added.emplace_back(where + ": the description was",
                               SpeakInto(project, std::nullopt, fragment, where, where));
            continue;
        }
        // An empty path stays empty, so that it is refused as no file at all.
        const RawFragment fragment{
            entry.rawPath.empty() ? std::string() : (folder / entry.rawPath).string(), entry.width,
            entry.format, entry.description, gain};
        Outcome outcome = project.Add(fragment);
        Check(outcome, where, where);
        added.emplace_back(where + ": the description was", std::move(outcome));
    }
    const auto lock = LockForChange(imagePath);
    Check(project.SaveAs(imagePath), imagePath, imagePath);
    for (const auto& [what, outcome] : added) {
        PrintQuality(c.out, outcome);
        WarnIfAltered(c.err, what, outcome, DESCRIPTION_WIDTH);
    }
    return kSuccess;
}

// Reads the file without the magic test, so that a wrong magic is reported
// among the other problems instead of refusing the file.
int RunCheck(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    MemoryImage image;
    {
        const LockOutcome shared = LockForReading(path);
        auto stream = ByteStream::OpenForReading(path);
        if (!stream || !stream->IsRegularFile()) {
            throw RefusedFile(Refusal::CannotOpen, path, ProjectAccess::Inspect);
        }
        NamingFile(path, [&] {
            stream->ReadExact(image.bytes());
            stream->Close();
        });
    }

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
    {"list", "IMAGE [--json]",
     "one line per fragment: number, description, format, length, start page (TAB-separated);\n"
     "      --json: one JSON array of objects instead, with each duration in seconds too",
     1, 1, kOptJson, RunList},
    {"info", "IMAGE [--json]",
     "copyright, fragments, usage, used and free bytes, first free page, free seconds per\n"
     "      format, and whether the catalogue is consistent; --json: one JSON object instead",
     1, 1, kOptJson, RunInfo},
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
    {"build", "IMAGE MANIFEST [--force] [SPEECH] [GAIN]",
     "make a fresh image from a manifest; --force replaces an existing file; GAIN\n"
     "      applies to its audio files and spoken lines",
     2, 2, kOptForce | kOptGain | kOptSpeech, RunBuild},
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
