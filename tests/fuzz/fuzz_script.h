#pragma once

// The fuzz target's input: a few bytes of script followed by bytes laid over
// a project image. Keeping the script in front and the image behind lets a
// short input reach any directory, and keeps the corpus files small.
//
//   byte 0      bits 0-1: the image underneath (Base); bits 2-7: step count
//   3 per step  the operation byte (bits 0-3 the operation, bits 4-7 its
//               parameter), then two argument bytes a and b
//   the rest    laid over the image from offset 0, cut at IMAGE_SIZE
//
// Whatever the bytes, they parse: missing steps are dropped and operation
// numbers wrap.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/memory_image.h"

namespace sonabank::fuzz {

enum class Base : std::uint8_t {
    Fresh,             // InitImage
    Zero,              // all zero bytes: no magic
    FreshZeroData,     // InitImage with the data area zeroed
    FreshFFDirectory,  // InitImage with every directory byte 0xFF
};

enum class Op : std::uint8_t {
    Views,            // fragment list, usage, catalogue check, grid texts
    Delete,           // DeleteFragment(1 + a % 100)
    ChangeImport,     // Change of row 1 + a % 100 by a RAW file; b: ImportArg
    AddImport,        // Add of a RAW file; b: ImportArg
    DescriptionOnly,  // Add or Change without a file; b bit 0: Add
    Render,           // RenderWave and FragmentSamples of row 1 + a % 100
    Export,           // ExportRaw of row 1 + a % 100
    SaveOpen,         // SaveProject, then OpenProject; b bit 0: target read-only
    OpenDamaged,      // OpenProject of a cut, padded or magic-less file
    Resize,           // ResizeFragment straight, with a length from param, a, b
    Poke,             // one catalogue byte: offset (param * 256 + a) % 2640 := b
    Fault,            // arm a file fault for the next step
    Play,             // the Play button (b bit 0 clear) or a timer tick later
};
constexpr int OP_COUNT = 13;

struct Step {
    Op op = Op::Views;
    std::uint8_t param = 0;  // 0..15
    std::uint8_t a = 0;
    std::uint8_t b = 0;
};

constexpr std::size_t MAX_STEPS = 63;

struct Script {
    Base base = Base::Fresh;
    std::vector<Step> steps;
    std::span<const std::uint8_t> overlay;
};

Script ParseScript(std::span<const std::uint8_t> input);
std::vector<std::uint8_t> EncodeScript(Base base, const std::vector<Step>& steps,
                                       std::span<const std::uint8_t> overlay = {});

// The RAW sources an import can name, by index (the low 4 bits of b). The
// target writes them once at start-up.
constexpr std::size_t NO_FILE = SIZE_MAX;
constexpr std::size_t SOURCE_COUNT = 16;
constexpr std::size_t SOURCE_MISSING = 12;    // does not exist
constexpr std::size_t SOURCE_DIRECTORY = 13;  // a folder
constexpr std::size_t SOURCE_READ_ONLY = 14;  // 1000 bytes, no write permission
constexpr std::array<std::size_t, SOURCE_COUNT> SOURCE_SIZES = {
    0,    1,     3,      527,     528,     1000,    1056, 2113,
    5000, 40000, 300000, 1100000, NO_FILE, NO_FILE, 1000, 70000,
};
// Byte i of every source.
std::uint8_t SourceByte(std::size_t i);

// b of an import step.
struct ImportArg {
    std::size_t source = 5;
    bool sixteenBit = false;
    SoundFormat format = SoundFormat::PCM_22050;
    bool cyrillicDescription = false;  // otherwise taken from a description field
};
std::uint8_t EncodeImportArg(const ImportArg& arg);
ImportArg DecodeImportArg(std::uint8_t b);

// A directory entry as the image stores it.
std::array<std::uint8_t, ENTRY_SIZE> EncodeEntry(int formatCode, int startPage,
                                                 std::uint32_t length);

}  // namespace sonabank::fuzz
