// The project fuzz target: arbitrary bytes as a project image and a script of
// the commands a user can run on it. Besides the sanitizers' checks of every
// memory access, it checks what must hold whatever the image: a refused or
// failed command leaves the image as it was, a save reopens byte for byte,
// and on a catalogue that keeps the program's invariants the commands keep
// them and leave the other fragments' bytes alone.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_script.h"
#include "image/catalogue_check.h"
#include "image/fragment_list.h"
#include "image/fragment_storage.h"
#include "image/grid_rules.h"
#include "playback/playback_state.h"
#include "playback/raw_export.h"
#include "playback/wav_render.h"
#include "io/byte_stream.h"
#include "project/project.h"
#include "project/project_file.h"
#include "support/fake_sound.h"
#include "support/fault_injector.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace sonabank::fuzz {
namespace {

[[noreturn]] void Fail(const char* condition, int line) {
    std::fprintf(stderr, "fuzz_project.cpp:%d: check failed: %s\n", line, condition);
    std::abort();
}

#define FUZZ_CHECK(condition)                         \
    do {                                              \
        if (!(condition)) Fail(#condition, __LINE__); \
    } while (0)

constexpr const char* kProject = "project.bin";
constexpr const char* kExport = "export.raw";
constexpr const char* kDamaged = "damaged.bin";

// The folder the target works in, made once per process: the RAW sources
// under sources/, the files each input writes under work/.
class Workspace {
  public:
    Workspace() : sources_(dir_.path() / "sources"), work_(dir_.path() / "work") {
        fs::create_directory(sources_);
        fs::create_directory(work_);
        for (std::size_t i = 0; i < SOURCE_COUNT; ++i) {
            if (SOURCE_SIZES[i] == NO_FILE) continue;
            std::vector<std::uint8_t> bytes(SOURCE_SIZES[i]);
            for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = SourceByte(k);
            test::WriteFile(Source(i), bytes);
        }
        fs::create_directory(Source(SOURCE_DIRECTORY));
        test::MakeReadOnly(Source(SOURCE_READ_ONLY));
    }

    std::string Source(std::size_t index) const {
        return (sources_ / ("s" + std::to_string(index) + ".raw")).string();
    }
    std::string Work(const char* name) const { return (work_ / name).string(); }

    // Every input starts without files of its own.
    void Clear() const {
        for (const auto& entry : fs::directory_iterator(work_)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
            fs::remove(entry.path());
        }
    }

    // Whether work/ holds nothing but the files the steps name: no
    // temporary file left behind by a save.
    bool OnlyKnownFiles() const {
        for (const auto& entry : fs::directory_iterator(work_)) {
            const std::string name = entry.path().filename().string();
            if (name != kProject && name != kExport && name != kDamaged) return false;
        }
        return true;
    }

  private:
    test::TempDir dir_;
    fs::path sources_;
    fs::path work_;
};

const Workspace& Folder() {
    static const Workspace workspace;
    return workspace;
}

// Reads a whole file into `bytes`, reusing their storage; false when there
// is no such file or it cannot be read. Fresh buffers of a few megabytes cost more than anything
// else here under the sanitizers.
bool ReadInto(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    bytes.resize(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(in);
}

bool AllZero(const MemoryImage& image) {
    return std::ranges::all_of(image.bytes(), [](std::uint8_t byte) { return byte == 0; });
}

// Everything an input works with that is as large as an image, kept from
// input to input.
struct Buffers {
    Project project;  // its image is the one the script works on
    MemoryImage snapshot;  // the image before a step
    MemoryImage reopened;
    std::vector<std::uint8_t> file;
    std::vector<std::uint8_t> previousFile;
    std::vector<std::uint8_t> damaged;
};

// How a file command ended.
struct Outcome {
    std::optional<Refusal> refusal;
    std::optional<int> error;  // the code of an input/output error
    bool ok() const { return !refusal && !error; }
};

// Runs `command`, which returns its refusal, if any.
template <typename Command>
Outcome Attempt(Command&& command) {
    try {
        return {command(), std::nullopt};
    } catch (const IoError& error) {
        return {std::nullopt, error.code()};
    }
}

// A listed fragment as the user sees it: everything but where it lies. Its
// bytes stay in the image it was taken from.
struct Fragment {
    int formatCode = 0;
    std::uint32_t length = 0;
    std::span<const std::uint8_t> description;
    std::span<const std::uint8_t> stored;
    bool operator==(const Fragment& other) const {
        return formatCode == other.formatCode && length == other.length &&
               std::ranges::equal(description, other.description) &&
               std::ranges::equal(stored, other.stored);
    }
};

// Only for catalogues that CheckCatalogue passes: their data lies inside the image.
std::vector<Fragment> Fragments(const MemoryImage& image) {
    std::vector<Fragment> fragments;
    for (const FragmentRow& row : ListFragments(image).rows) {
        const int slot = row.row - 1;
        const std::size_t start = static_cast<std::size_t>(StartPage(image, slot)) * PAGE_SIZE;
        const std::uint32_t length = FragmentLength(image, slot);
        fragments.push_back({GetFragmentFormat(image, row.row), length,
                             DescriptionField(image, slot), image.bytes().subspan(start, length)});
    }
    return fragments;
}

// The catalogue keeps every invariant of the storage operations; the magic
// does not matter to them.
bool Clean(const MemoryImage& image) {
    const auto problems = CheckCatalogue(image);
    return std::ranges::all_of(problems, [](const CatalogueProblem& problem) {
        return problem.fault == CatalogueFault::WrongMagic;
    });
}

// Whether `after` differs from `before` only inside [from, from + count).
bool SameOutside(const MemoryImage& before, const MemoryImage& after, std::size_t from,
                 std::size_t count) {
    return std::equal(before.data(), before.data() + from, after.data()) &&
           std::equal(before.data() + from + count, before.data() + IMAGE_SIZE,
                      after.data() + from + count);
}

std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// Text for a description box or the copyright box: nothing, a Cyrillic text
// with blanks to trim, or the raw bytes of a description field, which a
// hostile image makes anything but UTF-8.
std::string BoxText(const MemoryImage& image, std::uint8_t param, std::uint8_t a, bool cyrillic) {
    if (cyrillic) return "  Звонок №5 — «тест» длинный текст ";
    if (param == 0) return {};
    const auto field = DescriptionField(image, (param * 7 + a) % MAX_FRAGMENTS);
    return {field.begin(), field.end()};
}

class Run {
  public:
    Run(const Script& script, Buffers& buffers)
        : buffers_(buffers), image_(buffers.project.image()), playback_(player_, ticks_) {
        switch (script.base) {
            case Base::Zero:
                std::ranges::fill(image_.bytes(), 0);
                break;
            case Base::Fresh:
                InitImage(image_);
                break;
            case Base::FreshZeroData:
                InitImage(image_);
                std::fill(image_.data() + DATA_OFFSET, image_.data() + IMAGE_SIZE, 0);
                break;
            case Base::FreshFFDirectory:
                InitImage(image_);
                std::fill(image_.data(), image_.data() + COPYRIGHT_OFFSET, 0xFF);
                break;
        }
        std::ranges::copy(script.overlay, image_.data());
    }

    void Do(const Step& step) {
        switch (step.op) {
            case Op::Views:
                Views();
                break;
            case Op::Delete:
                Delete(1 + step.a % MAX_FRAGMENTS);
                break;
            case Op::ChangeImport:
                Import(false, step);
                break;
            case Op::AddImport:
                Import(true, step);
                break;
            case Op::DescriptionOnly:
                DescriptionOnly(step);
                break;
            case Op::Render:
                Render(1 + step.a % MAX_FRAGMENTS);
                break;
            case Op::Export:
                Export(1 + step.a % MAX_FRAGMENTS);
                break;
            case Op::SaveOpen:
                SaveOpen(step);
                break;
            case Op::OpenDamaged:
                OpenDamaged(step);
                break;
            case Op::Resize:
                ResizeFragment(image_, 1 + step.a % MAX_FRAGMENTS,
                               static_cast<std::uint32_t>(step.param) << 20 |
                                   static_cast<std::uint32_t>(step.b) << 12 | step.a);
                break;
            case Op::Poke:
                image_[(step.param * 256u + step.a) % DATA_OFFSET] = step.b;
                break;
            case Op::Fault:
                // Held over to the next step.
                Arm(step);
                return;
            case Op::Play:
                Play(step);
                break;
        }
        fault_.reset();
    }

    void Finish() {
        fault_.reset();
        playback_.Close();
        // The player reads the wave until the stop, whatever the steps did
        // to the image meanwhile.
        FUZZ_CHECK(player_.waveUntouchedUntilStop());
    }

  private:
    // The image as it was before the step. Copied into one buffer kept for
    // the whole run: large allocations are what costs most under the sanitizers.
    const MemoryImage& Snapshot() {
        std::ranges::copy(image_.bytes(), buffers_.snapshot.data());
        return buffers_.snapshot;
    }

    bool FaultFired() const { return fault_ && fault_->fired(); }

    void Arm(const Step& step) {
        fault_.reset();
        const std::optional<FileOp> kind =
            step.param < 8 ? std::optional(static_cast<FileOp>(step.param)) : std::nullopt;
        fault_.emplace(kind, 1 + step.a % 16, step.b & 1 ? FaultAction::Short : FaultAction::Fail);
    }

    void Views() const {
        const FragmentList list = ListFragments(image_);
        FUZZ_CHECK(list.count() >= 0 && list.count() <= MAX_FRAGMENTS);
        FUZZ_CHECK(list.rows.size() == static_cast<std::size_t>(list.count()));
        for (std::size_t i = 0; i < list.rows.size(); ++i) {
            FUZZ_CHECK(list.rows[i].row == static_cast<int>(i) + 1);
            ChangePrefill(image_, list.rows[i].row);
            SuggestedExportName(image_, list.rows[i].row);
        }
        AddButtonRefusal(GridRowCount(list));
        CopyrightBoxText(image_);
        for (const CatalogueProblem& problem : CheckCatalogue(image_)) DescribeProblem(problem);
        UsageText(UsagePercent(image_));
        // In a catalogue that passes the check the room is never negative.
        if (Clean(image_)) FUZZ_CHECK(Room(image_) >= 0 && FirstFreePage(image_) <= PAGE_COUNT);
    }

    void Delete(int row) {
        const MemoryImage& before = Snapshot();
        const int count = ListFragments(before).count();
        DeleteFragment(image_, row);
        if (!Clean(before) || row > count) return;
        FUZZ_CHECK(Clean(image_));
        std::vector<Fragment> expected = Fragments(before);
        expected.erase(expected.begin() + (row - 1));
        FUZZ_CHECK(Fragments(image_) == expected);
    }

    // The project's answer, an input/output error thrown again for Attempt.
    static std::optional<Refusal> Refused(const sonabank::Outcome& outcome) {
        if (outcome.ioError) throw IoError(*outcome.ioError);
        return outcome.refusal;
    }

    void Import(bool add, const Step& step) {
        const ImportArg arg = DecodeImportArg(step.b);
        const RawFragment fragment{Folder().Source(arg.source),
                                   arg.sixteenBit ? SourceWidth::Bits16 : SourceWidth::Bits8,
                                   arg.format,
                                   BoxText(image_, step.param, step.a, arg.cyrillicDescription)};
        const int row = 1 + step.a % MAX_FRAGMENTS;

        const MemoryImage& before = Snapshot();
        Project& project = buffers_.project;
        sonabank::Outcome result;
        const Outcome outcome = Attempt([&] {
            result = add ? project.Add(fragment) : project.Change(row, fragment);
            return Refused(result);
        });
        if (!outcome.ok()) {
            // All or nothing.
            FUZZ_CHECK(image_ == before);
            if (outcome.error) FUZZ_CHECK(FaultFired());
            return;
        }
        if (!Clean(before)) return;

        FUZZ_CHECK(Clean(image_));
        const std::vector<Fragment> old = Fragments(before);
        const std::vector<Fragment> now = Fragments(image_);
        const auto slot = static_cast<std::size_t>(result.row - 1);
        FUZZ_CHECK(now.size() == (add ? old.size() + 1 : old.size()));
        FUZZ_CHECK(slot < now.size());
        if (add) FUZZ_CHECK(slot == old.size());
        for (std::size_t i = 0; i < old.size(); ++i) {
            if (i != slot) FUZZ_CHECK(now[i] == old[i]);
        }

        std::uint64_t length = SOURCE_SIZES[arg.source];
        if (arg.sixteenBit) length /= 2;
        if (arg.format == SoundFormat::ADPCM_11025) length /= 2;
        FUZZ_CHECK(now[slot].length == length);
        FUZZ_CHECK(now[slot].formatCode == static_cast<int>(arg.format));
        if (!arg.sixteenBit && arg.format != SoundFormat::ADPCM_11025) {
            for (std::size_t k = 0; k < length; ++k)
                FUZZ_CHECK(now[slot].stored[k] == SourceByte(k));
        }
        // The last page is zero behind the sound.
        const std::size_t end =
            static_cast<std::size_t>(StartPage(image_, static_cast<int>(slot))) * PAGE_SIZE +
            length;
        const std::size_t pageEnd = (end + PAGE_SIZE - 1) / PAGE_SIZE * PAGE_SIZE;
        FUZZ_CHECK(std::all_of(image_.data() + end, image_.data() + pageEnd,
                               [](std::uint8_t byte) { return byte == 0; }));
    }

    void DescriptionOnly(const Step& step) {
        const RawFragment fragment{"", SourceWidth::Bits8, SoundFormat::PCM_22050,
                                   BoxText(image_, step.param, step.a, false)};
        const int row = 1 + step.a % MAX_FRAGMENTS;
        Project& project = buffers_.project;
        const MemoryImage& before = Snapshot();
        if (step.b & 1) {
            // Add refuses a full list before it looks for a file.
            const Refusal expected = project.AddRefusal().value_or(Refusal::NoFileName);
            FUZZ_CHECK(project.Add(fragment).refusal == expected && image_ == before);
            return;
        }
        FUZZ_CHECK(project.Change(row, fragment).ok());
        FUZZ_CHECK(SameOutside(before, image_, DESCRIPTION_OFFSET + (row - 1) * DESCRIPTION_WIDTH,
                               DESCRIPTION_WIDTH));
    }

    void Render(int row) {
        const std::vector<std::uint8_t> wave = RenderWave(image_, row, buffers_.project.workspace());
        const std::uint32_t length = FragmentLength(image_, row - 1);
        if (length == 0) {
            FUZZ_CHECK(wave.empty());
            return;
        }
        FUZZ_CHECK(wave.size() >= WAV_HEADER_SIZE);
        const std::uint32_t dataLength = Le32(wave, 40);
        FUZZ_CHECK(dataLength == wave.size() - WAV_HEADER_SIZE);
        FUZZ_CHECK(Le32(wave, 4) == dataLength + 36);
        const int format = GetFragmentFormat(image_, row);
        FUZZ_CHECK(Le32(wave, 24) == SampleRateOf(format));
        PlaybackDurationMs(dataLength, SampleRateOf(format));

        // Only a slot reaching past the image is clipped.
        if (Clean(image_) && row <= ListFragments(image_).count()) {
            const bool adpcm = format == static_cast<int>(SoundFormat::ADPCM_11025);
            FUZZ_CHECK(dataLength == (adpcm ? 2ull : 1ull) * length);
        }
    }

    void Export(int row) {
        const std::string path = Folder().Work(kExport);
        SuggestedExportName(image_, row);
        const auto samples = FragmentSamples(image_, row, buffers_.project.workspace());
        const Outcome outcome =
            Attempt([&] { return ExportRaw(image_, row, path, buffers_.project.workspace()); });
        if (!outcome.ok()) {
            FUZZ_CHECK(FaultFired());
            return;
        }
        // The export decodes into the same buffer again.
        FUZZ_CHECK(ReadInto(path, buffers_.file) && std::ranges::equal(buffers_.file, samples));
    }

    void SaveOpen(const Step& step) {
        const std::string path = Folder().Work(kProject);
        const std::string copyright = BoxText(image_, step.param, step.a, step.param == 1);
        const bool previous = ReadInto(path, buffers_.previousFile);
        const bool readOnly = (step.b & 1) && previous;
        if (readOnly) test::MakeReadOnly(path);

        const MemoryImage& before = Snapshot();
        const Outcome saved = Attempt([&] { return SaveProject(path, image_, copyright); });
        if (readOnly) fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
        FUZZ_CHECK(Folder().OnlyKnownFiles());
        if (!saved.ok()) {
            FUZZ_CHECK(image_ == before);
            if (previous) {
                FUZZ_CHECK(ReadInto(path, buffers_.file) && buffers_.file == buffers_.previousFile);
            } else {
                FUZZ_CHECK(!fs::exists(path));
            }
            FUZZ_CHECK(FaultFired() || (readOnly && saved.refusal == Refusal::CannotCreate));
            return;
        }
        FUZZ_CHECK(!readOnly);
        FUZZ_CHECK(SameOutside(before, image_, COPYRIGHT_OFFSET, COPYRIGHT_WIDTH));
        FUZZ_CHECK(ReadInto(path, buffers_.file) &&
                   std::ranges::equal(buffers_.file, image_.bytes()));

        MemoryImage& reopened = buffers_.reopened;
        std::ranges::fill(reopened.bytes(), 0);
        const Outcome opened = Attempt([&] { return OpenProject(path, reopened); });
        if (opened.error || (opened.refusal && FaultFired())) {
            FUZZ_CHECK(FaultFired() && AllZero(reopened));
        } else if (HasMagic(image_)) {
            FUZZ_CHECK(opened.ok() && reopened == image_);
        } else {
            FUZZ_CHECK(opened.refusal == Refusal::WrongFormat && AllZero(reopened));
        }
    }

    void OpenDamaged(const Step& step) {
        // The current catalogue over data that differs from the image's, so
        // that a partial load would show; cut short, padded, or as it is.
        std::vector<std::uint8_t>& bytes = buffers_.damaged;
        bytes.assign(image_.data(), image_.data() + IMAGE_SIZE);
        std::fill(bytes.begin() + DATA_OFFSET, bytes.end(), image_[DATA_OFFSET] ^ 0xFF);
        const std::size_t amount = step.a * 256u + step.b;
        switch (step.param % 3) {
            case 0:
                bytes.resize(amount);
                break;
            case 1:
                bytes.resize(IMAGE_SIZE - amount);
                break;
            case 2:
                bytes.resize(IMAGE_SIZE + amount, step.b);
                break;
        }
        const std::string path = Folder().Work(kDamaged);
        test::WriteFile(path, bytes);

        const MemoryImage& before = Snapshot();
        const Outcome opened = Attempt([&] { return OpenProject(path, image_); });
        if (opened.ok()) {
            FUZZ_CHECK(std::equal(image_.data(), image_.data() + IMAGE_SIZE, bytes.begin()));
        } else {
            FUZZ_CHECK(image_ == before);
        }
        if (FaultFired()) return;

        const bool magic = bytes.size() >= MAGIC_OFFSET + MAGIC.size() &&
                           std::equal(MAGIC.begin(), MAGIC.end(), bytes.begin() + MAGIC_OFFSET);
        if (bytes.size() < MAGIC_OFFSET + MAGIC.size()) {
            FUZZ_CHECK(opened.error == IO_READ_BEYOND_EOF);
        } else if (!magic) {
            FUZZ_CHECK(opened.refusal == Refusal::WrongFormat && !opened.error);
        } else if (bytes.size() < IMAGE_SIZE) {
            FUZZ_CHECK(opened.error == IO_READ_BEYOND_EOF);
        } else {
            FUZZ_CHECK(opened.ok());
        }
    }

    void Play(const Step& step) {
        if (step.b & 1) {
            ticks_.Advance(step.a * 1000u);
            playback_.TimerTick();
        } else {
            playback_.Press(image_, 1 + step.a % MAX_FRAGMENTS, buffers_.project.workspace());
        }
    }

    Buffers& buffers_;
    MemoryImage& image_;
    test::FakeSoundPlayer player_;
    test::FakeTickSource ticks_;
    Playback playback_;
    std::optional<test::FaultInjector> fault_;
};

}  // namespace
}  // namespace sonabank::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace sonabank::fuzz;
    Folder().Clear();
    const Script script = ParseScript({data, size});
    static Buffers buffers;
    Run run(script, buffers);
    for (const Step& step : script.steps) run.Do(step);
    run.Finish();
    return 0;
}
