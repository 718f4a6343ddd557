#include "cli/manifest.h"

#include "cli/arguments.h"
#include "cli/cli_failure.h"
#include "cli/image_access.h"
#include "io/byte_stream.h"

namespace sonabank::cli {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos) return fields;
        line.remove_prefix(tab + 1);
    }
}

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

// A hundred lines with the longest paths stay far below this; a larger file
// is no manifest, and reading it whole would cost its size.
constexpr std::size_t kManifestLimit = 512 * 1024;

}  // namespace

std::string ReadManifest(const std::string& path) {
    auto stream = ByteStream::OpenForReading(path);
    if (!stream || !NamingFile(path, [&] { return stream->IsRegularFile(); })) {
        throw RefusedFile(Refusal::CannotOpen, path, ProjectAccess::Inspect);
    }
    // One byte more than allowed tells a file at the limit from a longer one,
    // even one that grows while it is read.
    std::string text(kManifestLimit + 1, '\0');
    const std::size_t got = NamingFile(path, [&] {
        const std::size_t n =
            stream->ReadSome({reinterpret_cast<std::uint8_t*>(text.data()), text.size()});
        stream->Close();
        return n;
    });
    if (got > kManifestLimit) {
        throw CliFailure(kRefused, path + ": larger than a manifest may be (" +
                                       std::to_string(kManifestLimit) + " bytes)");
    }
    text.resize(got);
    return text;
}

std::vector<ManifestEntry> ParseManifest(std::string_view text, std::string_view name) {
    if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
    std::vector<ManifestEntry> entries;
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        ++lineNumber;
        // Manifests edited on Windows end their lines in CR LF.
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (IsBlank(line) || line.starts_with('#')) continue;

        const std::string where = std::string(name) + ":" + std::to_string(lineNumber) + ": ";
        const auto fields = SplitTabs(line);
        // Spoken text has no sample width: its column may be empty or left
        // out when no description follows.
        const bool spoken = fields[0].starts_with(kSayPrefix);
        if (fields.size() < (spoken ? 2u : 3u) || fields.size() > 4) {
            throw UsageError(where +
                             "expected FILE, FORMAT, WIDTH and DESCRIPTION separated by TABs");
        }
        // The path would end at the zero byte and name another file.
        if (fields[0].find('\0') != std::string_view::npos) {
            throw UsageError(where + "the file name holds a zero byte");
        }
        const SoundFormat format = FormatValue(where + "format", fields[1]);
        const bool noWidth = spoken && (fields.size() < 3 || fields[2].empty());
        const SourceWidth width =
            noWidth ? SourceWidth::Bits16 : WidthValue(where + "width", fields[2]);
        entries.push_back({lineNumber, std::string(fields[0]), format, width,
                           fields.size() == 4 ? std::string(fields[3]) : std::string()});
    }
    return entries;
}

}  // namespace sonabank::cli
