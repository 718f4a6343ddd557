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

// What a command stored in one fragment: a line about the sound on stdout
// (numbered as `list` numbers it), and a warning when the description had to
// be cut or changed. `what` starts the warning's sentence.
void ReportStored(const CommandContext& c, std::string_view what, const Outcome& stored) {
    if (const auto& report = stored.quality) {
        c.out << "fragment " << stored.row - 1 << ": " << Fixed(report->durationSeconds, 2)
              << " s at " << report->rate << " Hz (" << FormatName(static_cast<int>(report->format))
              << "), peak " << Fixed(report->peakDbfs, 1) << " dBFS, gain "
              << Fixed(report->gainDb, 1, true) << " dB, clipped " << report->clippedSamples;
        if (report->adpcmSnrDb) c.out << ", ADPCM SNR " << Fixed(*report->adpcmSnrDb, 1) << " dB";
        c.out << '\n';
    }
    WarnIfAltered(c.err, what, stored, DESCRIPTION_WIDTH);
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

// A fragment spoken from `text` with the speech, format, gain and description
// options.
SpokenFragment SpokenOf(const Arguments& args, std::string text) {
    return {std::move(text), SpeechOptionsOf(args), FormatOption(args), GainOption(args),
            args.description.value_or("")};
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

// A command that changes IMAGE: holds it alone from before it is read until
// the change is saved. `change` may end the command with a message of its
// own; a failure it returns ends it naming IMAGE. Returns what it did.
template <typename Change>
Outcome ChangeImage(const CommandContext& c, Change change) {
    const std::string& path = c.args.positional[0];
    const auto lock = LockForChange(path);
    Project project = Load(path, ProjectAccess::Edit);
    const Outcome changed = change(project);
    Check(changed, path, path);
    Save(project, path);
    return changed;
}

// The grid row of the fragment that the NUMBER argument names.
int NumberedRow(const CommandContext& c, const Project& project) {
    return FragmentRowOf(c.args.positional[1], ListFragments(project.image()));
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
    const Outcome added = ChangeImage(c, [&](Project& project) {
        const RawFragment fragment{c.args.positional[1], WidthOption(c.args), FormatOption(c.args),
                                   c.args.description.value_or(""), GainOption(c.args)};
        const Outcome outcome = project.Add(fragment);
        CheckImport(outcome, fragment.path);
        return outcome;
    });
    ReportStored(c, "the description was", added);
    return kSuccess;
}

int RunChange(const CommandContext& c) {
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
    const Outcome changed = ChangeImage(c, [&](Project& project) {
        const int row = NumberedRow(c, project);
        // Spoken over a fragment, it is described as say describes it.
        if (c.args.say) {
            return SpeakInto(project, row, SpokenOf(c.args, *c.args.say), {}, c.args.positional[0]);
        }
        RawFragment fragment{withFile ? c.args.positional[2] : std::string(), WidthOption(c.args),
                             FormatOption(c.args), c.args.description.value_or(""),
                             GainOption(c.args)};
        fragment.keepStoredDescription = !c.args.description;
        const Outcome outcome = project.Change(row, fragment);
        CheckImport(outcome, fragment.path);
        return outcome;
    });
    ReportStored(c, "the description was", changed);
    return kSuccess;
}

int RunSay(const CommandContext& c) {
    const Outcome added = ChangeImage(c, [&](Project& project) {
        return SpeakInto(project, std::nullopt, SpokenOf(c.args, c.args.positional[1]), {},
                         c.args.positional[0]);
    });
    ReportStored(c, "the description was", added);
    return kSuccess;
}

int RunDelete(const CommandContext& c) {
    ChangeImage(c, [&](Project& project) { return project.Delete(NumberedRow(c, project)); });
    return kSuccess;
}

int RunCopyright(const CommandContext& c) {
    const Outcome set = ChangeImage(
        c, [&](Project& project) { return project.SetCopyright(c.args.positional[1]); });
    WarnIfAltered(c.err, "the copyright was", set, COPYRIGHT_WIDTH);
    return kSuccess;
}

// export and wav: the fragment NUMBER written to OUTFILE by `write`.
int WriteFragmentFile(const CommandContext& c, Outcome (Project::*write)(int, const std::string&)) {
    Project project = Load(c.args.positional[0], ProjectAccess::Inspect);
    const int row = NumberedRow(c, project);
    const std::string& outFile = c.args.positional[2];
    Check((project.*write)(row, outFile), outFile, outFile);
    WarnIfClipped(c.err, project.image(), row);
    return kSuccess;
}

int RunExport(const CommandContext& c) {
    return WriteFragmentFile(c, &Project::Export);
}

int RunWav(const CommandContext& c) {
    return WriteFragmentFile(c, &Project::WriteWave);
}

int RunPlay(const CommandContext& c) {
    Project project = Load(c.args.positional[0], ProjectAccess::Inspect);
    return PlayFragment(project, NumberedRow(c, project));
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
    std::vector<std::pair<std::string, Outcome>> added;  // manifest line, what it stored
    for (const ManifestEntry& entry : entries) {
        const std::string where = manifestPath + ":" + std::to_string(entry.line);
        if (entry.rawPath.starts_with(kSayPrefix)) {
            const SpokenFragment fragment{entry.rawPath.substr(kSayPrefix.size()), speech,
                                          entry.format, gain, entry.description};
            added.emplace_back(where, SpeakInto(project, std::nullopt, fragment, where, where));
            continue;
        }
        // An empty path stays empty, so that it is refused as no file at all.
        const RawFragment fragment{
            entry.rawPath.empty() ? std::string() : (folder / entry.rawPath).string(), entry.width,
            entry.format, entry.description, gain};
        Outcome outcome = project.Add(fragment);
        Check(outcome, where, where);
        added.emplace_back(where, std::move(outcome));
    }
    const auto lock = LockForChange(imagePath);
    Check(project.SaveAs(imagePath), imagePath, imagePath);
    for (const auto& [where, outcome] : added) {
        ReportStored(c, where + ": the description was", outcome);
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
