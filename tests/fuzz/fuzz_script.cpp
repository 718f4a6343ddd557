#include "fuzz_script.h"

namespace sonabank::fuzz {

Script ParseScript(std::span<const std::uint8_t> input) {
    Script script;
    if (input.empty()) return script;
    script.base = static_cast<Base>(input[0] & 3);
    const std::size_t wanted = input[0] >> 2;
    std::size_t at = 1;
    for (std::size_t i = 0; i < wanted && at + 3 <= input.size(); ++i, at += 3) {
        script.steps.push_back({static_cast<Op>((input[at] & 0x0F) % OP_COUNT),
                                static_cast<std::uint8_t>(input[at] >> 4), input[at + 1],
                                input[at + 2]});
    }
    script.overlay = input.subspan(std::min(at, input.size()));
    if (script.overlay.size() > IMAGE_SIZE) script.overlay = script.overlay.first(IMAGE_SIZE);
    return script;
}

std::vector<std::uint8_t> EncodeScript(Base base, const std::vector<Step>& steps,
                                       std::span<const std::uint8_t> overlay) {
    const std::size_t count = std::min(steps.size(), MAX_STEPS);
    std::vector<std::uint8_t> bytes{
        static_cast<std::uint8_t>(count << 2 | static_cast<std::uint8_t>(base))};
    for (std::size_t i = 0; i < count; ++i) {
        const Step& step = steps[i];
        bytes.push_back(static_cast<std::uint8_t>(step.param << 4 | static_cast<int>(step.op)));
        bytes.push_back(step.a);
        bytes.push_back(step.b);
    }
    bytes.insert(bytes.end(), overlay.begin(), overlay.end());
    return bytes;
}

std::uint8_t SourceByte(std::size_t i) {
    // A rising tone with a little noise: every nibble and both signs of the
    // 16-bit samples turn up, so the encoder walks its whole step table.
    const auto ramp = static_cast<std::uint8_t>(i * 7 + (i >> 9) * 13);
    return static_cast<std::uint8_t>(ramp ^ ((i * 2654435761u) >> 27));
}

std::uint8_t EncodeImportArg(const ImportArg& arg) {
    return static_cast<std::uint8_t>((arg.source & 0x0F) | (arg.sixteenBit ? 0x10 : 0) |
                                     static_cast<int>(arg.format) << 5 |
                                     (arg.cyrillicDescription ? 0x80 : 0));
}

ImportArg DecodeImportArg(std::uint8_t b) {
    return {static_cast<std::size_t>(b & 0x0F), (b & 0x10) != 0,
            static_cast<SoundFormat>(((b >> 5) & 3) % 3), (b & 0x80) != 0};
}

std::array<std::uint8_t, ENTRY_SIZE> EncodeEntry(int formatCode, int startPage,
                                                 std::uint32_t length) {
    const auto word = static_cast<std::uint16_t>((formatCode & 3) << 14 | (startPage & 0x3FFF));
    return {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
            static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length),
            static_cast<std::uint8_t>(length >> 8)};
}

}  // namespace sonabank::fuzz
