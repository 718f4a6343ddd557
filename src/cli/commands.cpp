#include "cli/commands.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "cli/cli_failure.h"
#include "cli/manifest.h"
#include "cli/play_command.h"
#include "codec/raw_import.h"
#include "image/catalogue_check.h"
#include "image/fragment_list.h"
#include "image/fragment_storage.h"
#include "image/grid_rules.h"
#include "image/memory_image.h"
#include "playback/raw_export.h"
#include "playback/wav_render.h"
#include "io/byte_stream.h"
#include "project/project_file.h"

namespace sonabank::cli {

namespace fs = std::filesystem;

namespace {

MemoryImage LoadImage(const std::string& path) {
    MemoryImage image;
    if (auto refusal = OpenProject(path, image)) throw Refused(*refusal, path);
    return image;
}

void SaveImage(const std::string& path, MemoryImage& image, std::string_view copyright) {
    if (auto refusal = SaveProject(path, image, copyright)) throw Refused(*refusal, path);
}

// Saves a changed image with the copyright it already holds, as the copyright
// box would hand it back after a rebuild.
void SaveKeepingCopyright(const std::string& path, MemoryImage& image) {
    const std::string copyright = CopyrightBoxText(image);
    SaveImage(path, image, copyright);
}

// The Add button followed by the dialog's OK.
std::optional<Refusal> AddFragment(MemoryImage& image, ImportRequest request) {
    const int rowCount = GridRowCount(ListFragments(image));
    if (auto refusal = AddButtonRefusal(rowCount)) return refusal;
    request.mode = DialogMode::Add;
    request.rowCount = rowCount;
    return ImportRaw(image, request).refusal;
}

// Refusals that concern the RAW file name it; the others stand alone.
CliFailure RefusedImport(Refusal refusal, const std::string& rawPath) {
    const bool aboutFile = refusal == Refusal::CannotOpen || refusal == Refusal::TooBig ||
                           refusal == Refusal::NoSoundData;
    return Refused(refusal, aboutFile ? rawPath : std::string());
}

int RunNew(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    std::error_code ignored;
    if (!c.args.force && fs::exists(fs::symlink_status(path, ignored))) {
        throw CliFailure(kRefused, path + ": the file exists; --force replaces it");
    }
    MemoryImage image;
    InitImage(image);
    SaveImage(path, image, "");
    return kSuccess;
}

int RunList(const CommandContext& c) {
    const MemoryImage image = LoadImage(c.args.positional[0]);
    for (const FragmentRow& row : ListFragments(image).rows) {
        const int slot = row.row - 1;
        c.out << slot << '\t' << ChangePrefill(image, row.row) << '\t'
              << row.formatName.value_or("") << '\t' << FragmentLength(image, slot) << '\t'
              << StartPage(image, slot) << '\n';
    }
    return kSuccess;
}

int RunInfo(const CommandContext& c) {
    const MemoryImage image = LoadImage(c.args.positional[0]);
    c.out << "copyright: " << CopyrightBoxText(image) << '\n'
          << "fragments: " << ListFragments(image).count() << '\n'
          << "usage: " << UsageText(UsagePercent(image)) << '\n'
          << "used bytes: " << UsedBytes(image) << '\n'
          << "free bytes: " << Room(image) << '\n'
          << "first free page: " << FirstFreePage(image) << '\n';
    return kSuccess;
}

int RunAdd(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    MemoryImage image = LoadImage(path);
    ImportRequest request;
    request.fileName = c.args.positional[1];
    request.width = WidthOption(c.args);
    request.format = FormatOption(c.args);
    request.description = c.args.description.value_or("");
    if (auto refusal = AddFragment(image, request)) {
        throw RefusedImport(*refusal, request.fileName);
    }
    SaveKeepingCopyright(path, image);
    return kSuccess;
}

int RunChange(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    MemoryImage image = LoadImage(path);
    const FragmentList list = ListFragments(image);
    const int row = FragmentRowOf(c.args.positional[1], list);
    const bool withFile = c.args.positional.size() > 2;
    if (!withFile && (c.args.width || c.args.format)) {
        throw UsageError(
            "--width and --format need a RAWFILE; without one only the description changes");
    }
    ImportRequest request;
    request.fileName = withFile ? c.args.positional[2] : std::string();
    request.width = WidthOption(c.args);
    request.format = FormatOption(c.args);
    request.description = c.args.description ? *c.args.description : ChangePrefill(image, row);
    request.mode = DialogMode::Change;
    request.targetRow = row;
    request.rowCount = GridRowCount(list);
    if (auto refusal = ImportRaw(image, request).refusal) {
        throw RefusedImport(*refusal, request.fileName);
    }
    SaveKeepingCopyright(path, image);
    return kSuccess;
}

int RunDelete(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    MemoryImage image = LoadImage(path);
    DeleteFragment(image, FragmentRowOf(c.args.positional[1], ListFragments(image)));
    SaveKeepingCopyright(path, image);
    return kSuccess;
}

int RunCopyright(const CommandContext& c) {
    const std::string& path = c.args.positional[0];
    MemoryImage image = LoadImage(path);
    SaveImage(path, image, c.args.positional[1]);
    return kSuccess;
}

int RunExport(const CommandContext& c) {
    const MemoryImage image = LoadImage(c.args.positional[0]);
    const int row = FragmentRowOf(c.args.positional[1], ListFragments(image));
    const std::string& outFile = c.args.positional[2];
    if (auto refusal = ExportRaw(image, row, outFile, DecodeBuffer())) {
        throw Refused(*refusal, outFile);
    }
    return kSuccess;
}

int RunWav(const CommandContext& c) {
    const MemoryImage image = LoadImage(c.args.positional[0]);
    const int row = FragmentRowOf(c.args.positional[1], ListFragments(image));
    const std::string& outFile = c.args.positional[2];
    // Header and samples are written apart, so the largest fragment is not
    // held a second time as one WAV buffer.
    const auto samples = FragmentSamples(image, row, DecodeBuffer());
    const auto header = WaveHeader(static_cast<std::uint32_t>(samples.size()),
                                   SampleRateOf(GetFragmentFormat(image, row)));
    auto stream = ByteStream::Create(outFile);
    if (!stream) throw Refused(Refusal::CannotCreate, outFile);
    stream->WriteAll(header);
    stream->WriteAll(samples);
    stream->Close();
    return kSuccess;
}

int RunPlay(const CommandContext& c) {
    const MemoryImage image = LoadImage(c.args.positional[0]);
    return PlayFragment(image, FragmentRowOf(c.args.positional[1], ListFragments(image)));
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

    MemoryImage image;
    InitImage(image);
    for (const ManifestEntry& entry : entries) {
        const std::string where = manifestPath + ":" + std::to_string(entry.line);
        ImportRequest request;
        // An empty path stays empty, so that it is refused as no file at all.
        request.fileName =
            entry.rawPath.empty() ? std::string() : (folder / entry.rawPath).string();
        request.width = entry.width;
        request.format = entry.format;
        request.description = entry.description;
        try {
            if (auto refusal = AddFragment(image, request)) throw Refused(*refusal, where);
        } catch (const IoError& error) {
            throw CliFailure(kIoFailure, where + ": " + IoErrorText(error.code()));
        }
    }
    SaveImage(imagePath, image, "");
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

constexpr Command kCommands[] = {
    {"new", "IMAGE [--force]", "write a fresh image; --force replaces an existing file", 1, 1,
     kOptForce, RunNew},
    {"list", "IMAGE",
     "one line per fragment: number, description, format, length, start page (TAB-separated)", 1, 1,
     0, RunList},
    {"info", "IMAGE", "copyright, fragments, usage, used and free bytes, first free page", 1, 1, 0,
     RunInfo},
    {"add", "IMAGE RAWFILE [--width 8|16] [--format FORMAT] [--description TEXT]",
     "store a RAW file as a new fragment behind the last one", 2, 2,
     kOptWidth | kOptFormat | kOptDescription, RunAdd},
    {"change", "IMAGE NUMBER [RAWFILE] [--width 8|16] [--format FORMAT] [--description TEXT]",
     "replace a fragment by a RAW file, or without one rewrite only its description", 2, 3,
     kOptWidth | kOptFormat | kOptDescription, RunChange},
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
    {"build", "IMAGE MANIFEST", "make a fresh image from a manifest", 2, 2, 0, RunBuild},
    {"check", "IMAGE", "report every broken invariant of the catalogue", 1, 1, 0, RunCheck},
};

}  // namespace

std::span<const Command> Commands() {
    return kCommands;
}

}  // namespace sonabank::cli
