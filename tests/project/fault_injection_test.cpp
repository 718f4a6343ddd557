// Walks a failure of the file layer over every step of every file command:
// the n-th operation fails (or a read or write comes up short) for n = 1, 2,
// ... until the command completes without reaching it. After each failure
// the image is byte for byte what it was, the file on disk is the previous
// one, no temporary file is left, and the user is told what went wrong.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "image/image_builder.h"
#include "image/memory_image.h"
#include "playback/raw_export.h"
#include "playback/wav_render.h"
#include "io/byte_stream.h"
#include "project/project.h"
#include "project/project_file.h"
#include "support/fault_injector.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace sonabank {
namespace {

// The codec state and decode buffer the program's project object owns.
CodecWorkspace workspace;

using test::DescribeFault;
using test::FaultInjector;
using test::FaultMessage;
using test::FaultWalk;
using test::kFaultWalks;
using test::ReadFile;
using test::TempDir;
using test::WalkFaults;
using test::WriteFile;
using Bytes = std::vector<std::uint8_t>;

// What the user is shown when the command ends: a refusal or an input/output
// error; empty when it completed.
template <typename Command>
std::string Shown(Command&& command) {
    try {
        const std::optional<Refusal> refusal = command();
        return refusal ? RefusalText(*refusal) : std::string();
    } catch (const IoError& error) {
        return IoErrorText(error.code());
    }
}

// The same for a command of the project object.
std::string ShownOutcome(const Outcome& outcome) {
    if (outcome.refusal) return RefusalText(*outcome.refusal);
    return outcome.ioError ? IoErrorText(*outcome.ioError) : std::string();
}

std::vector<std::string> FilesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::ranges::sort(names);
    return names;
}

Bytes BytesOf(const MemoryImage& image) {
    return {image.bytes().begin(), image.bytes().end()};
}

Bytes Pattern(std::size_t count) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + (i >> 8));
    return bytes;
}

TEST(FaultInjection, OpenLeavesTheImageAndTheFileAsTheyWere) {
    TempDir dir;
    const std::string path = dir.file("bank.bin");
    const MemoryImage current = test::PackedImage({1000, 3000});
    const MemoryImage stored = test::PackedImage({528, 5000, 70, 9});
    Bytes noMagic = BytesOf(stored);
    noMagic[MAGIC_OFFSET] = '#';
    const Bytes cut(stored.data(), stored.data() + IMAGE_SIZE - 1);
    const struct {
        const char* name;
        Bytes file;
        std::string completed;  // the message of a run without a fault
    } cases[] = {
        {"a project", BytesOf(stored), ""},
        {"a file without the magic", noMagic, RefusalText(Refusal::WrongFormat)},
        {"a project cut short", cut, IoErrorText(IO_READ_BEYOND_EOF)},
    };
    for (const auto& c : cases) {
        WriteFile(path, c.file);
        for (const FaultWalk& walk : kFaultWalks) {
            WalkFaults(walk.kind, walk.action, [&](const FaultInjector& fault) {
                MemoryImage image = current;
                const std::string shown = Shown([&] { return OpenProject(path, image); });
                SCOPED_TRACE(std::string(c.name) + ", " + DescribeFault(fault));
                if (fault.fired()) {
                    EXPECT_EQ(shown, FaultMessage(*fault.firedOn(), walk.action));
                } else {
                    EXPECT_EQ(shown, c.completed);
                }
                EXPECT_TRUE(image == (shown.empty() ? stored : current));
                EXPECT_EQ(ReadFile(path), c.file);
                EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"bank.bin"});
            });
        }
    }
}

TEST(FaultInjection, SaveKeepsTheImageAndThePreviousFileAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir.file("bank.bin");
    const MemoryImage current = test::PackedImage({1000, 3000, 20});
    MemoryImage expected = current;
    WritePaddedText(CopyrightField(expected), COPYRIGHT_WIDTH - 1, "Acme");
    const Bytes previousProject = BytesOf(test::PackedImage({528}));
    // Save writes over the previous file; Save As may name a new one.
    for (const std::optional<Bytes>& previous :
         {std::optional(previousProject), std::optional<Bytes>()}) {
        for (const FaultWalk& walk : kFaultWalks) {
            WalkFaults(walk.kind, walk.action, [&](const FaultInjector& fault) {
                if (previous) {
                    WriteFile(path, *previous);
                } else {
                    fs::remove(path);
                }
                MemoryImage image = current;
                const std::string shown = Shown([&] { return SaveProject(path, image, "Acme"); });
                SCOPED_TRACE(std::string(previous ? "over a project, " : "new file, ") +
                             DescribeFault(fault));
                if (fault.fired()) {
                    EXPECT_EQ(shown, FaultMessage(*fault.firedOn(), walk.action));
                    EXPECT_TRUE(image == current);
                    if (previous) {
                        EXPECT_EQ(ReadFile(path), *previous);
                    } else {
                        EXPECT_FALSE(fs::exists(path));
                    }
                    EXPECT_EQ(FilesIn(dir.path()).size(), previous ? 1u : 0u);
                } else {
                    EXPECT_EQ(shown, "");
                    EXPECT_TRUE(image == expected);
                    EXPECT_EQ(ReadFile(path), BytesOf(expected));
                    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"bank.bin"});
                }
            });
        }
    }
}

TEST(FaultInjection, ImportIsAllOrNothing) {
    TempDir dir;
    const std::string source = dir.file("sound.raw");
    // Five whole blocks of 16-bit samples for ADPCM and a few bytes more.
    WriteFile(source, Pattern(5 * 2112 + 3));
    const MemoryImage start = test::PackedImage({1000, 3000, 500});
    const struct {
        const char* name;
        std::optional<int> changedRow;  // none: added
        SoundFormat format;
    } cases[] = {
        {"add", std::nullopt, SoundFormat::ADPCM_11025},
        {"change, growing, followers move", 1, SoundFormat::PCM_11025},
        {"change, shrinking, followers move", 2, SoundFormat::ADPCM_11025},
    };
    for (const auto& c : cases) {
        const RawFragment fragment{source, SourceWidth::Bits16, c.format, "Bell"};
        const auto import = [&](MemoryImage& image) {
            Project project;
            project.image() = image;
            const Outcome outcome = c.changedRow ? project.Change(*c.changedRow, fragment)
                                                 : project.Add(fragment);
            image = project.image();
            return outcome;
        };
        MemoryImage expected = start;
        ASSERT_TRUE(import(expected).ok()) << c.name;

        for (const FaultWalk& walk : kFaultWalks) {
            WalkFaults(walk.kind, walk.action, [&](const FaultInjector& fault) {
                MemoryImage image = start;
                const std::string shown = ShownOutcome(import(image));
                SCOPED_TRACE(std::string(c.name) + ", " + DescribeFault(fault));
                // A short read is followed by another read for the rest of the block.
                if (fault.fired() && walk.action == FaultAction::Fail) {
                    EXPECT_EQ(shown, FaultMessage(*fault.firedOn(), walk.action));
                    EXPECT_TRUE(image == start);
                } else {
                    EXPECT_EQ(shown, "");
                    EXPECT_TRUE(image == expected);
                }
                EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"sound.raw"});
            });
        }
    }
}

TEST(FaultInjection, ExportTellsOfEveryFailureAndKeepsWhatWasWritten) {
    TempDir dir;
    const std::string path = dir.file("out.raw");
    const Bytes old = {'o', 'l', 'd'};
    // Slot 0 holds ADPCM, slot 1 PCM.
    const MemoryImage image = test::PackedImage({1000, 3000});
    for (const int row : {1, 2}) {
        const auto samples = FragmentSamples(image, row, workspace);
        const Bytes expected(samples.begin(), samples.end());
        for (const FaultWalk& walk : kFaultWalks) {
            WalkFaults(walk.kind, walk.action, [&](const FaultInjector& fault) {
                WriteFile(path, old);
                const std::string shown =
                    Shown([&] { return ExportRaw(image, row, path, workspace); });
                SCOPED_TRACE("row " + std::to_string(row) + ", " + DescribeFault(fault));
                const Bytes written = ReadFile(path);
                if (!fault.fired()) {
                    EXPECT_EQ(shown, "");
                    EXPECT_EQ(written, expected);
                } else if (*fault.firedOn() == FileOp::Create) {
                    // Nothing was created: the file is as it was.
                    EXPECT_EQ(shown, FaultMessage(FileOp::Create, walk.action));
                    EXPECT_EQ(written, old);
                } else {
                    // The part already written stays on disk.
                    EXPECT_EQ(shown, FaultMessage(*fault.firedOn(), walk.action));
                    EXPECT_LT(written.size(),
                              expected.size() + (*fault.firedOn() == FileOp::Close));
                    EXPECT_TRUE(std::equal(written.begin(), written.end(), expected.begin()));
                }
                EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"out.raw"});
            });
        }
    }
}

}  // namespace
}  // namespace sonabank
