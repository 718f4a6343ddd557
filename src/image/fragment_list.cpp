#include "image/fragment_list.h"

#include <algorithm>

namespace sonabank {

const char* FormatName(int code) {
    switch (code) {
        case static_cast<int>(SoundFormat::ADPCM_11025):
            return "ADPCM 11025 Hz";
        case static_cast<int>(SoundFormat::PCM_11025):
            return "PCM 11025 Hz";
        case static_cast<int>(SoundFormat::PCM_22050):
            return "PCM 22050 Hz";
        default:
            return nullptr;
    }
}

FragmentList ListFragments(const MemoryImage& image) {
    FragmentList list;
    for (int row = 1; row <= MAX_FRAGMENTS; ++row) {
        const int slot = row - 1;
        if (FragmentLength(image, slot) == 0) {
            list.firstEmptyRow = row;
            return list;
        }
        FragmentRow entry;
        entry.row = row;
        const auto field = DescriptionField(image, slot);
        entry.description.assign(field.begin(), std::find(field.begin(), field.end(), 0));
        if (const char* name = FormatName(GetFragmentFormat(image, row))) entry.formatName = name;
        list.rows.push_back(std::move(entry));
    }
    list.firstEmptyRow = MAX_FRAGMENTS + 1;
    return list;
}

std::uint64_t UsedBytes(const MemoryImage& image) {
    std::uint64_t used = 0;
    for (int slot = 0; slot < MAX_FRAGMENTS; ++slot) {
        used += std::uint64_t{pagesOf(FragmentLength(image, slot))} * PAGE_SIZE;
    }
    return used;
}

std::uint64_t UsagePercent(const MemoryImage& image) {
    return UsedBytes(image) * 100 / DATA_CAPACITY;
}

std::string UsageText(std::uint64_t percent) {
    return "Занято памяти: " + std::to_string(percent) + "%";
}

}  // namespace sonabank
