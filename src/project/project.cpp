#include "project/project.h"

#include <stdexcept>
#include <utility>

#include "codec/fragment_import.h"
#include "image/codepage.h"
#include "image/fragment_list.h"
#include "image/fragment_storage.h"
#include "image/grid_rules.h"
#include "io/byte_stream.h"
#include "playback/raw_export.h"
#include "playback/wav_render.h"
#include "project/project_file.h"
#include "source/audio_file.h"

namespace sonabank {

namespace {

Outcome Refused(std::optional<Refusal> refusal) {
    Outcome outcome;
    outcome.refusal = refusal;
    return outcome;
}

// A refused export target, with the cause when the file could not be created.
Outcome RefusedTarget(std::optional<Refusal> refusal, const std::string& path) {
    Outcome outcome = Refused(refusal);
    if (refusal == Refusal::CannotCreate) outcome.detail = CannotCreateCause(path);
    return outcome;
}

// Success, with the grid row of the fragment concerned and the text stored.
Outcome Done(int row, std::optional<TextFit> stored = std::nullopt) {
    Outcome outcome;
    outcome.row = row;
    outcome.stored = std::move(stored);
    return outcome;
}

// Runs a command; an input/output error ends it and becomes its outcome.
template <typename Command>
Outcome Run(Command&& command) {
    try {
        return command();
    } catch (const IoError& error) {
        Outcome outcome;
        outcome.ioError = error.code();
        outcome.ioText = error.what();
        return outcome;
    }
}

// The description a spoken fragment is stored with, before the field cuts it.
std::string SpokenDescription(const SpokenFragment& fragment) {
    const std::string description = TrimDescription(fragment.description);
    return description.empty() ? TrimDescription(fragment.text) : description;
}

void CheckRow(int row) {
    if (row < 1 || row > MAX_FRAGMENTS) throw std::out_of_range("row outside 1..100");
}

}  // namespace

Project::Project() {
    InitImage(image_);
}

Project::Project(MemoryImage image) : image_(std::move(image)) {}

std::variant<Project, Outcome> Project::FromFile(const std::string& path, ProjectAccess access) {
    // Open replaces this image whole with the one it reads, so it is never
    // filled.
    Project project{MemoryImage(MemoryImage::ForOverwrite{})};
    Outcome opened = project.Open(path, access);
    if (!opened.ok()) return opened;
    return project;
}

Outcome Project::New() {
    InitImage(image_);
    modified_ = false;
    fileName_.clear();
    stamp_.reset();
    return {};
}

Outcome Project::Open(const std::string& path, ProjectAccess access) {
    return Run([&] {
        // Stamped before reading: a write in between makes the stamp stale,
        // and a later Save asks rather than overlooks it.
        const std::optional<FileStamp> stamp = StampOf(path);
        if (const auto refusal = OpenProject(path, image_, access)) return Refused(refusal);
        fileName_ = path;
        stamp_ = stamp;
        modified_ = false;
        return Outcome{};
    });
}

Outcome Project::Save(std::optional<std::string_view> copyright) {
    if (fileName_.empty()) throw std::logic_error("Save: the project has no file name");
    return SaveTo(fileName_, copyright);
}

Outcome Project::SaveAs(const std::string& path, std::optional<std::string_view> copyright) {
    return SaveTo(path, copyright);
}

Outcome Project::SaveTo(const std::string& path, std::optional<std::string_view> copyright) {
    return Run([&] {
        const auto refusal =
            copyright ? SaveProject(path, image_, *copyright) : SaveProjectAsIs(path, image_);
        if (refusal) return Refused(refusal);
        fileName_ = path;
        stamp_ = StampOf(path);
        modified_ = false;
        return Outcome{};
    });
}

bool Project::ChangedOnDisk() const {
    const std::optional<FileStamp> now = StampOf(fileName_);
    return stamp_ && now && *now != *stamp_;
}

std::optional<Refusal> Project::AddRefusal() const {
    return AddButtonRefusal(GridRowCount(ListFragments(image_)));
}

Outcome Project::Add(const RawFragment& fragment) {
    if (const auto refusal = AddRefusal()) return Refused(refusal);
    return Import(std::nullopt, fragment);
}

Outcome Project::Change(int row, const RawFragment& fragment) {
    CheckRow(row);
    if (fragment.path.empty()) {
        if (fragment.keepStoredDescription) return Done(row);
        return Describe(row, fragment.description);
    }
    return Import(row, fragment);
}

Outcome Project::Import(std::optional<int> replacedRow, const RawFragment& fragment) {
    if (fragment.path.empty()) return Refused(Refusal::NoFileName);
    // A kept description is left byte for byte as stored, so that nothing
    // the code page cannot show is lost on the way through text.
    std::optional<TextFit> description;
    if (!replacedRow || !fragment.keepStoredDescription ||
        TrimDescription(ChangePrefill(image_, *replacedRow)).empty()) {
        std::string text =
            fragment.keepStoredDescription ? std::string() : TrimDescription(fragment.description);
        if (text.empty()) text = ShortFileName(fragment.path);
        description = FitText(text, DESCRIPTION_WIDTH);
    }
    return Run([&] {
        std::optional<ByteStream> stream = ByteStream::OpenExisting(fragment.path);
        if (!stream) return Refused(Refusal::CannotOpen);
        const std::optional<AudioKind> kind = SniffAudio(*stream);
        if (!kind) {
            RawFileSource source = RawFileSource::FromStream(std::move(*stream), fragment.width);
            return Store(replacedRow, source, fragment.format, description);
        }
        AudioConversion converted =
            ConvertAudioFile(*stream, *kind, fragment.format, fragment.gain);
        stream->Close();
        if (converted.refusal) {
            Outcome refused = Refused(converted.refusal);
            refused.detail = std::move(converted.detail);
            return refused;
        }
        return StoreSound(replacedRow, converted.sound, fragment.format, description);
    });
}

Outcome Project::AddSpoken(const SpokenFragment& fragment) {
    if (const auto refusal = AddRefusal()) return Refused(refusal);
    return ImportSpoken(std::nullopt, fragment);
}

Outcome Project::ChangeSpoken(int row, const SpokenFragment& fragment) {
    CheckRow(row);
    return ImportSpoken(row, fragment);
}

Outcome Project::ImportSpoken(std::optional<int> replacedRow, const SpokenFragment& fragment) {
    const Speech speech = Speak(fragment.text, fragment.speech);
    if (!speech.ok()) {
        Outcome refused;
        refused.speechError = speech.error;
        return refused;
    }
    // The synthesizer's 22050 Hz through the chain an audio file takes.
    const DeviceSound sound = ConvertToDevice(std::span(speech.samples), speech.sampleRate,
                                              fragment.format, fragment.gain);
    return Run([&] {
        return StoreSound(replacedRow, sound, fragment.format,
                          FitText(SpokenDescription(fragment), DESCRIPTION_WIDTH));
    });
}

Outcome Project::StoreSound(std::optional<int> replacedRow, const DeviceSound& sound,
                            SoundFormat format, const std::optional<TextFit>& description) {
    DeviceSoundSource source(sound.samples);
    Outcome stored = Store(replacedRow, source, format, description);
    if (stored.quality) {
        stored.quality->gainDb = sound.gainDb;
        stored.quality->clippedSamples = sound.clippedSamples;
    }
    return stored;
}

Outcome Project::Store(std::optional<int> replacedRow, SampleSource& source, SoundFormat format,
                       const std::optional<TextFit>& description) {
    QualityMeter meter(format);
    const std::optional<std::string> encoded =
        description ? std::optional(Utf8ToCp1251(description->stored)) : std::nullopt;
    const ImportOutcome imported =
        ImportFragment(image_, source, format, replacedRow,
                       encoded ? std::optional<std::string_view>(*encoded) : std::nullopt,
                       workspace_.adpcm, &meter);
    if (!imported.ok()) return Refused(imported.refusal);
    modified_ = true;
    Outcome outcome = Done(imported.row, description);
    outcome.quality = meter.Report(FragmentLength(image_, imported.row - 1));
    return outcome;
}

Outcome Project::Describe(int row, std::string_view description) {
    CheckRow(row);
    TextFit fit = FitText(TrimDescription(description), DESCRIPTION_WIDTH);
    WritePaddedText(DescriptionField(image_, row - 1), DESCRIPTION_WIDTH - 1,
                    Utf8ToCp1251(fit.stored));
    modified_ = true;
    return Done(row, std::move(fit));
}

Outcome Project::Delete(int row) {
    modified_ = true;
    DeleteFragment(image_, row);
    return {};
}

Outcome Project::SetCopyright(std::string_view text) {
    TextFit fit = FitText(text, COPYRIGHT_WIDTH);
    WritePaddedText(CopyrightField(image_), COPYRIGHT_WIDTH - 1, Utf8ToCp1251(fit.stored));
    modified_ = true;
    return Done(0, std::move(fit));
}

std::optional<Refusal> Project::TargetRefusal(const std::string& path) const {
    // An untitled project has no file an export could overwrite.
    if (fileName_.empty()) return std::nullopt;
    return ExportTargetRefusal(fileName_, path);
}

Outcome Project::Export(int row, const std::string& path) {
    return Run([&] {
        if (const auto refusal = TargetRefusal(path)) return Refused(refusal);
        return RefusedTarget(ExportRaw(image_, row, path, workspace_), path);
    });
}

Outcome Project::WriteWave(int row, const std::string& path) {
    return Run([&] {
        if (const auto refusal = TargetRefusal(path)) return Refused(refusal);
        return RefusedTarget(sonabank::WriteWave(image_, row, path, workspace_), path);
    });
}

}  // namespace sonabank
