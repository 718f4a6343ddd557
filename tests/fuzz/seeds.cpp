#include "seeds.h"

#include "fuzz_script.h"
#include "io/byte_stream.h"

namespace sonabank::fuzz {

namespace {

Step Import(Op op, int row, ImportArg arg, std::uint8_t param = 0) {
    return {op, param, static_cast<std::uint8_t>(row - 1), EncodeImportArg(arg)};
}

Step OnRow(Op op, int row, std::uint8_t b = 0) {
    return {op, 0, static_cast<std::uint8_t>(row - 1), b};
}

// Every command that works on a fragment, on rows 1 to `rows`, then a save
// and reopen.
std::vector<Step> EveryCommand(int rows) {
    std::vector<Step> steps{{Op::Views}};
    for (int row = 1; row <= rows; ++row) {
        steps.push_back(OnRow(Op::Render, row));
        steps.push_back(OnRow(Op::Export, row));
    }
    steps.push_back(OnRow(Op::Play, 1));
    steps.push_back({Op::SaveOpen, 1});
    return steps;
}

std::vector<Step> Then(std::vector<Step> steps, const std::vector<Step>& more) {
    steps.insert(steps.end(), more.begin(), more.end());
    return steps;
}

// The directory bytes of the given entries, slot 0 first.
std::vector<std::uint8_t> Directory(
    const std::vector<std::array<std::uint8_t, ENTRY_SIZE>>& entries) {
    std::vector<std::uint8_t> bytes;
    for (const auto& entry : entries) bytes.insert(bytes.end(), entry.begin(), entry.end());
    return bytes;
}

constexpr int ADPCM = 0;
constexpr int PCM11 = 1;
constexpr int PCM22 = 2;
constexpr int CODE3 = 3;
constexpr std::uint32_t MAX_LENGTH = (1u << 24) - 1;

}  // namespace

std::vector<Seed> SeedInputs() {
    std::vector<Seed> seeds;
    const auto add = [&](std::string name, Base base, const std::vector<Step>& steps,
                         const std::vector<std::uint8_t>& overlay = {}) {
        seeds.push_back({std::move(name), EncodeScript(base, steps, overlay)});
    };

    add("fresh", Base::Fresh, EveryCommand(1));
    add("zero-image", Base::Zero,
        Then({Import(Op::AddImport, 1, {5, false, SoundFormat::PCM_22050})}, EveryCommand(2)));

    // One fragment of each format and source width, then changes that grow,
    // shrink and keep the page count, and deletions.
    const std::vector<Step> everyFormat = {
        Import(Op::AddImport, 1, {5, false, SoundFormat::PCM_22050}),
        Import(Op::AddImport, 1, {7, true, SoundFormat::PCM_11025}),
        Import(Op::AddImport, 1, {8, false, SoundFormat::ADPCM_11025, true}),
        Import(Op::AddImport, 1, {9, true, SoundFormat::ADPCM_11025}, 3),
        Import(Op::AddImport, 1, {2, false, SoundFormat::ADPCM_11025}),
    };
    add("every-format", Base::Fresh, Then(everyFormat, EveryCommand(5)));
    add("change-and-delete", Base::FreshZeroData,
        Then(everyFormat, {
                              Import(Op::ChangeImport, 2, {10, false, SoundFormat::PCM_22050}),
                              Import(Op::ChangeImport, 1, {1, false, SoundFormat::PCM_11025}),
                              Import(Op::ChangeImport, 3, {4, false, SoundFormat::PCM_11025}),
                              Import(Op::ChangeImport, 5, {15, true, SoundFormat::ADPCM_11025}),
                              {Op::DescriptionOnly, 2, 3, 0},
                              OnRow(Op::Delete, 2),
                              OnRow(Op::Delete, 4),
                              OnRow(Op::Delete, 1),
                              {Op::Views},
                              {Op::SaveOpen, 0},
                          }));
    add("refusals", Base::Fresh,
        {
            Import(Op::AddImport, 1, {0, false, SoundFormat::PCM_22050}),
            Import(Op::AddImport, 1, {SOURCE_MISSING, false, SoundFormat::PCM_22050}),
            Import(Op::AddImport, 1, {SOURCE_DIRECTORY, false, SoundFormat::PCM_22050}),
            Import(Op::AddImport, 1, {SOURCE_READ_ONLY, false, SoundFormat::PCM_22050}),
            {Op::DescriptionOnly, 0, 0, 1},
            Import(Op::AddImport, 1, {11, false, SoundFormat::PCM_22050}),
            Import(Op::AddImport, 1, {11, false, SoundFormat::PCM_22050}),
            Import(Op::AddImport, 1, {11, false, SoundFormat::ADPCM_11025}),
            Import(Op::ChangeImport, 1, {11, false, SoundFormat::ADPCM_11025}),
            {Op::Views},
        });

    // Hostile directories.
    add("start-page-zero", Base::Fresh, Then({}, EveryCommand(3)),
        Directory({EncodeEntry(PCM11, 0, 1000), EncodeEntry(PCM22, 10, 528),
                   EncodeEntry(ADPCM, 0, 600)}));
    const auto descending = Directory({EncodeEntry(PCM22, 100, 2000), EncodeEntry(ADPCM, 50, 5000),
                                       EncodeEntry(PCM11, 20, 1), EncodeEntry(PCM22, 5, 528)});
    add("descending", Base::Fresh,
        {OnRow(Op::Delete, 1), OnRow(Op::Render, 2), OnRow(Op::Delete, 2), {Op::Views}},
        descending);
    add("descending-change", Base::Fresh,
        {Import(Op::ChangeImport, 1, {9, false, SoundFormat::PCM_22050}),
         Import(Op::ChangeImport, 2, {3, false, SoundFormat::PCM_22050}),
         Import(Op::AddImport, 1, {5, false, SoundFormat::PCM_22050}),
         {Op::Resize, 0, 0, 200},
         {Op::Resize, 1, 1, 0},
         {Op::Views}},
        descending);
    add("past-last-page", Base::Fresh, Then({}, EveryCommand(3)),
        Directory({EncodeEntry(PCM22, 4095, 100000), EncodeEntry(ADPCM, 0x3FFF, 5),
                   EncodeEntry(PCM11, 8000, 528)}));
    add("past-last-page-change", Base::Fresh,
        {Import(Op::ChangeImport, 1, {3, false, SoundFormat::PCM_22050}),
         OnRow(Op::Delete, 1),
         Import(Op::AddImport, 1, {3, false, SoundFormat::PCM_22050}),
         {Op::Resize, 15, 0, 255}},
        Directory({EncodeEntry(PCM22, 4090, 528), EncodeEntry(ADPCM, 4095, 1000),
                   EncodeEntry(PCM11, 4096, 528)}));
    add("longest-lengths", Base::Fresh, Then({}, EveryCommand(3)),
        Directory({EncodeEntry(ADPCM, 5, MAX_LENGTH), EncodeEntry(PCM22, 6, MAX_LENGTH),
                   EncodeEntry(CODE3, 7, MAX_LENGTH)}));
    add("longest-lengths-change", Base::Fresh,
        {Import(Op::AddImport, 1, {5, false, SoundFormat::PCM_22050}),
         Import(Op::ChangeImport, 1, {5, false, SoundFormat::PCM_22050}),
         OnRow(Op::Delete, 1),
         {Op::Views}},
        Directory({EncodeEntry(ADPCM, 5, MAX_LENGTH), EncodeEntry(PCM22, 6, MAX_LENGTH)}));
    add("format-code-3", Base::Fresh,
        Then({Import(Op::ChangeImport, 2, {4, false, SoundFormat::ADPCM_11025})}, EveryCommand(2)),
        Directory({EncodeEntry(CODE3, 5, 1000), EncodeEntry(CODE3, 7, 528)}));
    add("entries-behind-the-end", Base::Fresh,
        {OnRow(Op::Delete, 1),
         Import(Op::ChangeImport, 2, {5, false, SoundFormat::PCM_22050}),
         OnRow(Op::Render, 3),
         OnRow(Op::Delete, 100),
         {Op::Views}},
        Directory({EncodeEntry(PCM22, 5, 528), EncodeEntry(PCM22, 6, 0), EncodeEntry(PCM11, 7, 99),
                   EncodeEntry(PCM11, 0, 0), EncodeEntry(ADPCM, 9, 5)}));
    add("ff-directory", Base::FreshFFDirectory,
        Then({OnRow(Op::Delete, 100), OnRow(Op::Delete, 50),
              Import(Op::ChangeImport, 99, {5, false, SoundFormat::PCM_22050})},
             EveryCommand(2)));

    // A full directory of one-page fragments: Add is refused; the last rows change.
    std::vector<std::array<std::uint8_t, ENTRY_SIZE>> full;
    for (int slot = 0; slot < 100; ++slot) full.push_back(EncodeEntry(PCM22, 5 + slot, 528));
    add("full-directory", Base::Fresh,
        {Import(Op::AddImport, 1, {1, false, SoundFormat::PCM_22050}),
         Import(Op::ChangeImport, 99, {6, false, SoundFormat::PCM_22050}),
         Import(Op::ChangeImport, 100, {4, false, SoundFormat::PCM_22050}),
         OnRow(Op::Delete, 100),
         OnRow(Op::Delete, 1),
         {Op::Views},
         OnRow(Op::Render, 99)},
        Directory(full));

    // Text fields that are not code page 1251 text a user typed.
    std::vector<std::uint8_t> texts(DESCRIPTION_OFFSET + 3 * DESCRIPTION_WIDTH, 0);
    const std::string odd = "\xFF\xC0\x80\xE2\x82 \xF0\x9F\x8E\xB5\0zz\xD0\x97\xD0";
    std::copy(odd.begin(), odd.end(), texts.begin() + COPYRIGHT_OFFSET);
    for (int slot = 0; slot < 3; ++slot) {
        std::copy(odd.begin(), odd.end(),
                  texts.begin() + DESCRIPTION_OFFSET + slot * DESCRIPTION_WIDTH + slot);
    }
    add("odd-texts", Base::Fresh,
        {Import(Op::AddImport, 1, {5, false, SoundFormat::PCM_22050}, 1),
         {Op::DescriptionOnly, 2, 0, 0},
         {Op::SaveOpen, 3, 1, 0},
         {Op::Views}},
        texts);

    // Files that are not whole projects: cut before and after the magic, longer.
    add("damaged-files", Base::Fresh,
        {{Op::OpenDamaged, 0, 0, 0},
         {Op::OpenDamaged, 0, 10, 0x48},
         {Op::OpenDamaged, 0, 10, 0x49},
         {Op::OpenDamaged, 1, 0, 1},
         {Op::OpenDamaged, 1, 0, 0},
         {Op::OpenDamaged, 2, 1, 0},
         {Op::Poke, 10, 68, 0},
         {Op::OpenDamaged, 1, 0, 0}});

    // File failures in the middle of every file command.
    add("faults", Base::Fresh,
        {{Op::Fault, static_cast<std::uint8_t>(FileOp::Read), 2, 0},
         Import(Op::AddImport, 1, {9, false, SoundFormat::PCM_22050}),
         {Op::Fault, static_cast<std::uint8_t>(FileOp::Read), 1, 1},
         Import(Op::AddImport, 1, {9, false, SoundFormat::PCM_22050}),
         {Op::SaveOpen, 0, 0, 0},
         {Op::Fault, static_cast<std::uint8_t>(FileOp::Rename), 0, 0},
         {Op::SaveOpen, 0, 0, 0},
         {Op::Fault, static_cast<std::uint8_t>(FileOp::Write), 0, 1},
         OnRow(Op::Export, 1),
         {Op::Fault, 8, 1, 0},
         {Op::OpenDamaged, 1, 0, 0},
         {Op::Fault, static_cast<std::uint8_t>(FileOp::Close), 0, 0},
         Import(Op::ChangeImport, 1, {3, false, SoundFormat::PCM_22050})});

    add("playback", Base::Fresh,
        {Import(Op::AddImport, 1, {6, false, SoundFormat::ADPCM_11025}), OnRow(Op::Play, 1),
         OnRow(Op::Delete, 1), OnRow(Op::Play, 1, 1), OnRow(Op::Play, 1), OnRow(Op::Play, 1)});
    return seeds;
}

}  // namespace sonabank::fuzz
