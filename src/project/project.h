#pragma once

// The project being edited: the image, its file and whether it holds unsaved
// changes, with the commands of the program. The window and the command-line
// tool both drive one of these; what is about widgets or arguments stays
// with them.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "codec/codec_workspace.h"
#include "codec/quality_meter.h"
#include "image/codepage.h"
#include "image/memory_image.h"
#include "image/refusal.h"
#include "io/byte_stream.h"
#include "project/project_file.h"
#include "source/device_conversion.h"
#include "source/raw_file_source.h"
#include "source/speech.h"

namespace sonabank {

// How a command ended: done, refused (the user is told the refusal's text),
// or stopped by an input/output error (its code).
struct Outcome {
    std::optional<Refusal> refusal;
    std::optional<int> ioError;
    int row = 0;              // Add and Change: the grid row of the stored fragment
    std::string detail = {};  // the decoder's words, or why an export target cannot be created
    std::optional<QualityReport> quality = {};  // Add and Change with sound: what was stored
    // Speech: the synthesizer could not speak the text as asked.
    std::optional<SpeechError> speechError = {};
    // The input/output error's whole text, which may say more than its code
    // (such as where a save kept the new content).
    std::string ioText = {};
    // Add, Change, Describe, SetCopyright: the text that went into the field,
    // when any did, and whether it had to be cut or changed to fit.
    std::optional<TextFit> stored = {};
    bool ok() const { return !refusal && !ioError && !speechError; }
};

// A sound file and how it is to be stored. A file whose first bytes announce
// an audio file (WAV, FLAC, Ogg, MP3, ...) is converted for the format, with
// the gain asked for; any other file is RAW, of the given sample width.
struct RawFragment {
    std::string path;                        // empty when none was given
    SourceWidth width = SourceWidth::Bits8;  // RAW files only
    SoundFormat format = SoundFormat::PCM_22050;
    std::string description;  // UTF-8, as typed: trimmed, and the file's name when empty
    GainOptions gain = {};    // audio files only
    // Change: `description` is ignored and the fragment keeps its stored
    // description bytes (an empty one still takes the file's name); without
    // a file nothing changes at all.
    bool keepStoredDescription = false;
};

// Text to be spoken and how it is to be stored.
struct SpokenFragment {
    std::string text;  // UTF-8
    SpeechOptions speech;
    SoundFormat format = SoundFormat::PCM_22050;
    GainOptions gain;
    std::string description;  // UTF-8, as typed: trimmed, and the text when empty
};

class Project {
  public:
    // A fresh image, untitled and unchanged.
    Project();
    // The project of a file, its image read once and into its place (Open
    // keeps the image it has until the new one is read whole); the outcome of
    // the failed read otherwise.
    static std::variant<Project, Outcome> FromFile(const std::string& path,
                                                   ProjectAccess access = ProjectAccess::Edit);

    const MemoryImage& image() const { return image_; }
    MemoryImage& image() { return image_; }
    // Empty while untitled.
    const std::string& fileName() const { return fileName_; }
    bool modified() const { return modified_; }
    // Set for a change the project does not see, such as typing in the
    // copyright box.
    void SetModified(bool modified) { modified_ = modified; }
    // Names the file the project is saved to; empty: untitled.
    void SetFileName(std::string fileName) {
        fileName_ = std::move(fileName);
        stamp_.reset();
    }
    // Whether another program wrote the project's file since this project
    // read or saved it, so that a Save would write over that program's work.
    // False when the file is gone: saving then loses nothing.
    bool ChangedOnDisk() const;
    // The codec state and decode buffer, for playing a fragment.
    CodecWorkspace& workspace() { return workspace_; }

    Outcome New();
    // On a refusal or an error nothing changes. Inspect needs read access
    // only; editing needs a writable file.
    Outcome Open(const std::string& path, ProjectAccess access = ProjectAccess::Edit);
    // `copyright` (UTF-8) goes into the image first; without it the image is
    // written byte for byte, so only SetCopyright changes the copyright field.
    // Save needs a file name.
    Outcome Save(std::optional<std::string_view> copyright = std::nullopt);
    Outcome SaveAs(const std::string& path,
                   std::optional<std::string_view> copyright = std::nullopt);

    // Add refuses once the list has 99 fragments (NoRoom), before anything
    // about the file is looked at.
    std::optional<Refusal> AddRefusal() const;
    Outcome Add(const RawFragment& fragment);
    // The fragment of `row`, replaced by the file; without a file only its
    // description is rewritten.
    Outcome Change(int row, const RawFragment& fragment);
    // Speech in place of a file; the text is spoken before anything else is
    // looked at but Add's limit of fragments.
    Outcome AddSpoken(const SpokenFragment& fragment);
    Outcome ChangeSpoken(int row, const SpokenFragment& fragment);
    Outcome Describe(int row, std::string_view description);
    Outcome Delete(int row);
    Outcome SetCopyright(std::string_view text);

    // Both refuse the project's own file as the target (IsProjectFile), also
    // through a symbolic or hard link.
    Outcome Export(int row, const std::string& path);
    Outcome WriteWave(int row, const std::string& path);

  private:
    explicit Project(MemoryImage image);

    std::optional<Refusal> TargetRefusal(const std::string& path) const;
    Outcome Import(std::optional<int> replacedRow, const RawFragment& fragment);
    // Encodes and places the samples of `source`, measuring them on the way;
    // without a description the replaced fragment keeps its stored one.
    Outcome Store(std::optional<int> replacedRow, SampleSource& source, SoundFormat format,
                  const std::optional<TextFit>& description);
    Outcome ImportSpoken(std::optional<int> replacedRow, const SpokenFragment& fragment);
    // Store() for converted samples, with the conversion's figures in the report.
    Outcome StoreSound(std::optional<int> replacedRow, const DeviceSound& sound, SoundFormat format,
                       const std::optional<TextFit>& description);
    // Writes the image to `path`; the file name changes only on success.
    Outcome SaveTo(const std::string& path, std::optional<std::string_view> copyright);

    MemoryImage image_;
    std::string fileName_;
    // The file as this project last read or wrote it.
    std::optional<FileStamp> stamp_;
    bool modified_ = false;
    CodecWorkspace workspace_;
};

}  // namespace sonabank
