#include "image/grid_rules.h"

#include <string_view>

#include "image/codepage.h"

namespace sonabank {

namespace {

constexpr int kGridRowLimit = 100;

std::string_view UpToFirstZero(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

}  // namespace

int GridRowCount(const FragmentList& list) {
    return list.firstEmptyRow > 1 ? list.firstEmptyRow : 2;
}

std::optional<Refusal> AddButtonRefusal(int gridRowCount) {
    if (gridRowCount >= kGridRowLimit) return Refusal::NoRoom;
    return std::nullopt;
}

std::string ChangePrefill(const MemoryImage& image, int row) {
    auto field = DescriptionField(image, row - 1);
    std::string_view text(reinterpret_cast<const char*>(field.data()), field.size());
    text = UpToFirstZero(text);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return Cp1251ToUtf8(text);
}

std::string CopyrightBoxText(const MemoryImage& image) {
    const std::string stored = ReadPaddedText(CopyrightField(image), COPYRIGHT_WIDTH - 1);
    return Cp1251ToUtf8(UpToFirstZero(stored));
}

}  // namespace sonabank
