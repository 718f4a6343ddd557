#include "cli/warnings.h"

#include "cli/text_escape.h"
#include "playback/wav_render.h"

namespace sonabank::cli {

void WarnIfAltered(std::ostream& err, std::string_view what, const Outcome& outcome,
                   std::size_t width) {
    if (!outcome.stored || !outcome.stored->altered()) return;
    const TextFit& fit = *outcome.stored;
    err << "warning: " << what << " stored as \"" << EscapedText(fit.stored) << "\" (";
    if (fit.cut) err << "cut to " << width << " characters";
    if (fit.cut && fit.replaced) err << "; ";
    if (fit.replaced) err << "characters outside code page 1251 became \"?\"";
    err << ")\n";
}

void WarnIfClipped(std::ostream& err, const MemoryImage& image, int row) {
    const std::size_t written = FragmentSampleCount(image, row);
    std::uint64_t claimed = FragmentLength(image, row - 1);
    if (GetFragmentFormat(image, row) == static_cast<int>(SoundFormat::ADPCM_11025)) claimed *= 2;
    if (written >= claimed) return;
    err << "warning: fragment " << row - 1 << " lies partly or wholly beyond the image; wrote "
        << written << " of its " << claimed << " bytes\n";
}

}  // namespace sonabank::cli
