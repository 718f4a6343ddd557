#include "playback/raw_export.h"

#include <algorithm>

#include "image/codepage.h"
#include "image/fragment_list.h"
#include "io/byte_stream.h"
#include "playback/wav_render.h"

namespace sonabank {

std::string SuggestedExportName(const MemoryImage& image, int row) {
    std::string description =
        ReadPaddedText(DescriptionField(image, row - 1), DESCRIPTION_WIDTH - 1);
    // A zero byte (only a foreign image has one) cannot be part of a file name.
    description.erase(std::find(description.begin(), description.end(), '\0'), description.end());
    std::string name = Cp1251ToUtf8(description);
    if (const char* format = FormatName(GetFragmentFormat(image, row))) {
        name += " (";
        name += format;
        name += ')';
    }
    return name;
}

std::optional<Refusal> ExportTargetRefusal(const std::string& projectPath,
                                           const std::string& target) {
    if (SameFile(projectPath, target)) return Refusal::IsProjectFile;
    return std::nullopt;
}

std::optional<Refusal> ExportRaw(const MemoryImage& image, int row, const std::string& path,
                                 CodecWorkspace& workspace) {
    auto stream = ByteStream::Create(path);
    if (!stream) return Refusal::CannotCreate;
    WriteFragmentSamples(*stream, image, row, workspace.adpcm);
    stream->Close();
    return std::nullopt;
}

}  // namespace sonabank
