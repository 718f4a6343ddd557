#include "codec/adpcm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <vector>

namespace sonabank {
namespace {

struct Step {
    std::int16_t sample;
    std::uint8_t code;
    std::int32_t predictor;  // after the sample
    int stepIndex;           // after the sample
};

// The worked example and the run of -32768 that ends on the clamp.
const std::vector<Step> kWorkedExample = {
    {0, 0, 0, 0},        {8192, 7, 11, 8}, {18432, 7, 41, 16},
    {32512, 7, 104, 24}, {0, 13, 4, 28},   {-32768, 15, -195, 36},
};
const std::vector<Step> kNegativeFullScale = {
    {-32768, 15, -11, 8},     {-32768, 15, -41, 16},    {-32768, 15, -104, 24},
    {-32768, 15, -240, 32},   {-32768, 15, -533, 40},   {-32768, 15, -1164, 48},
    {-32768, 15, -2521, 56},  {-32768, 15, -5431, 64},  {-32768, 15, -11667, 72},
    {-32768, 15, -25039, 80}, {-32768, 10, -32767, 79},
};

std::vector<std::uint8_t> Pack(const std::vector<std::uint8_t>& codes) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < codes.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(codes[i] << 4 | codes[i + 1]));
    }
    return bytes;
}

std::uint8_t Unsigned8(std::int32_t predictor) {
    return static_cast<std::uint8_t>((predictor + 32768) >> 8);
}

TEST(AdpcmTest, EncodesAndDecodesTheDocumentedSequences) {
    AdpcmState state;
    struct Case {
        const char* name;
        const std::vector<Step>& steps;
        std::vector<std::uint8_t> packed;   // empty: odd count, not checked
        std::vector<std::uint8_t> decoded;  // 8-bit output of the decoder
    };
    const Case cases[] = {
        {"worked example", kWorkedExample, {0x07, 0x77, 0xDF}, {128, 128, 128, 128, 128, 127}},
        {"eleven -32768",
         kNegativeFullScale,
         {},
         {127, 127, 127, 127, 125, 123, 118, 106, 82, 30, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AdpcmReset(state);
        std::vector<std::uint8_t> codes;
        for (const Step& s : c.steps) {
            codes.push_back(AdpcmEncode(state, s.sample));
            EXPECT_EQ(codes.back(), s.code) << "sample " << codes.size();
            EXPECT_EQ(state.predictor, s.predictor) << "sample " << codes.size();
            EXPECT_EQ(state.stepIndex, s.stepIndex) << "sample " << codes.size();
        }
        if (!c.packed.empty()) {
            EXPECT_EQ(Pack(codes), c.packed);
        }

        AdpcmReset(state);
        std::vector<std::uint8_t> decoded;
        for (std::size_t i = 0; i < codes.size(); ++i) {
            decoded.push_back(AdpcmDecode(state, codes[i]));
            EXPECT_EQ(state.predictor, c.steps[i].predictor) << "code " << i;
            EXPECT_EQ(state.stepIndex, c.steps[i].stepIndex) << "code " << i;
        }
        EXPECT_EQ(decoded, c.decoded);
    }
}

TEST(AdpcmTest, SingleStepsFromGivenStates) {
    AdpcmState state;
    struct Case {
        std::int32_t predictor;
        int stepIndex;
        std::int16_t sample;
        std::uint8_t code;
        std::int32_t predictorAfter;
        int stepIndexAfter;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, 0},                   // the index is clamped at 0
        {32767, 0, -32768, 15, 32756, 8},     // diff -65535 in 32 bits
        {32767, 88, 32767, 0, 32767, 87},     // clamped at the top
        {-32767, 88, -32768, 8, -32767, 87},  // clamped at -32767, not -32768
        {0, 88, 32767, 4, 32767, 88},         // index clamped at 88
        {100, 10, 131, 6, 130, 16},           // step 19: the half taken, the quarter not
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.predictor << "/" << c.stepIndex << " <- " << c.sample);
        state = {c.predictor, static_cast<std::int8_t>(c.stepIndex)};
        EXPECT_EQ(AdpcmEncode(state, c.sample), c.code);
        EXPECT_EQ(state.predictor, c.predictorAfter);
        EXPECT_EQ(state.stepIndex, c.stepIndexAfter);
    }
}

TEST(AdpcmTest, DecoderOutputIsTheHighByteWithTopBitInverted) {
    AdpcmState state;
    // At step index 0 code 0 adds 7 >> 3 = 0, so the predictor stays put.
    const std::pair<std::int32_t, std::uint8_t> cases[] = {
        {0, 128}, {-1, 127}, {255, 128}, {256, 129}, {32767, 255}, {-32767, 0}, {-32512, 1},
    };
    for (const auto& [predictor, expected] : cases) {
        state = {predictor, 0};
        EXPECT_EQ(AdpcmDecode(state, 0), expected) << predictor;
        EXPECT_EQ(state.predictor, predictor);
    }
}

TEST(AdpcmTest, RunOfPositiveFullScaleStopsAtTheTop) {
    AdpcmState state;
    AdpcmReset(state);
    for (int i = 0; i < 64; ++i) AdpcmEncode(state, 32767);
    EXPECT_EQ(state.predictor, 32767);
    const std::vector<std::uint8_t> stored(32, 0x77);
    std::vector<std::uint8_t> out(64);
    AdpcmDecodeRun(state, stored, out);
    EXPECT_EQ(state.predictor, 32767);
    EXPECT_EQ(out.back(), 255);
}

// The encoder as the algorithm is written out, step by step, to check the
// table-driven one against.
struct ReferenceEncoder {
    std::int32_t predictor = 0;
    int index = 0;
    std::uint8_t Encode(std::int16_t sample) {
        static constexpr int kSteps[89] = {
            7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,
            23,    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,
            73,    80,    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,
            230,   253,   279,   307,   337,   371,   408,   449,   494,   544,   598,   658,
            724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
            2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,
            7132,  7845,  8630,  9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350,
            22385, 24623, 27086, 29794, 32767};
        static constexpr int kAdjust[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
        unsigned step = kSteps[index];
        std::int32_t diff = sample - predictor;
        std::uint8_t code = 0;
        if (diff < 0) {
            code = 8;
            diff = -diff;
        }
        std::int32_t vpdiff = step >> 3;
        if (diff >= static_cast<std::int32_t>(step)) code |= 4, diff -= step, vpdiff += step;
        step >>= 1;
        if (diff >= static_cast<std::int32_t>(step)) code |= 2, diff -= step, vpdiff += step;
        step >>= 1;
        if (diff >= static_cast<std::int32_t>(step)) code |= 1, vpdiff += step;
        predictor = (code & 8) ? predictor - vpdiff : predictor + vpdiff;
        predictor = std::clamp(predictor, -32767, 32767);
        index = std::clamp(index + kAdjust[code], 0, 88);
        return code;
    }
};

std::vector<std::int16_t> Signal(const char* kind, std::size_t count, std::mt19937& rng) {
    std::vector<std::int16_t> s(count);
    std::uniform_int_distribution<int> any(-32768, 32767);
    std::uniform_int_distribution<int> pick(0, 3);
    const std::int16_t extremes[4] = {-32768, -32767, 32767, 0};
    for (std::size_t i = 0; i < count; ++i) {
        const std::string k = kind;
        if (k == "random") s[i] = static_cast<std::int16_t>(any(rng));
        if (k == "extremes") s[i] = extremes[pick(rng)];
        if (k == "square") s[i] = (i / 37) % 2 ? 32767 : -32768;
        if (k == "small") s[i] = static_cast<std::int16_t>(any(rng) % 64);
    }
    return s;
}

TEST(AdpcmTest, DecoderRetracesTheEncoderOverLongInputs) {
    AdpcmState state;
    std::mt19937 rng(20240611);
    for (const char* kind : {"random", "extremes", "square", "small"}) {
        SCOPED_TRACE(kind);
        const std::vector<std::int16_t> samples = Signal(kind, 200000, rng);
        ReferenceEncoder reference;
        AdpcmReset(state);
        std::vector<std::uint8_t> codes;
        std::vector<std::uint8_t> expected;  // the encoder's own track, 8-bit
        for (const std::int16_t s : samples) {
            codes.push_back(AdpcmEncode(state, s));
            ASSERT_EQ(codes.back(), reference.Encode(s));
            ASSERT_EQ(state.predictor, reference.predictor);
            ASSERT_EQ(state.stepIndex, reference.index);
            expected.push_back(Unsigned8(state.predictor));
        }
        const AdpcmState encoderEnd = state;

        const std::vector<std::uint8_t> stored = Pack(codes);
        std::vector<std::uint8_t> run(2 * stored.size());
        AdpcmDecodeRun(state, stored, run);
        EXPECT_EQ(run, expected);
        EXPECT_EQ(state.predictor, encoderEnd.predictor);
        EXPECT_EQ(state.stepIndex, encoderEnd.stepIndex);

        // The same run in uneven pieces, as a file is written piece by piece.
        std::vector<std::uint8_t> pieces(run.size());
        AdpcmReset(state);
        for (std::size_t at = 0, size = 1; at < stored.size(); at += size, size = size * 3 + 1) {
            size = std::min(size, stored.size() - at);
            AdpcmDecodeMore(state, std::span(stored).subspan(at, size),
                            std::span(pieces).subspan(2 * at, 2 * size));
        }
        EXPECT_EQ(pieces, expected);

        AdpcmReset(state);
        std::vector<std::uint8_t> single;
        for (const std::uint8_t code : codes) single.push_back(AdpcmDecode(state, code));
        EXPECT_EQ(single, expected);
    }
}

TEST(AdpcmTest, StateStaysInRangeWhateverTheCodes) {
    AdpcmState state;
    // Every code from every step index at both ends of the predictor range.
    for (int index = 0; index <= 88; ++index) {
        for (const std::int32_t predictor : {-32767, 0, 32767}) {
            for (std::uint8_t code = 0; code < 16; ++code) {
                state = {predictor, static_cast<std::int8_t>(index)};
                AdpcmDecode(state, code);
                ASSERT_GE(state.stepIndex, 0);
                ASSERT_LE(state.stepIndex, 88);
                ASSERT_GE(state.predictor, -32767);
                ASSERT_LE(state.predictor, 32767);
            }
        }
    }
    // Arbitrary bytes, values above 15 included, as a damaged fragment holds.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255);
    AdpcmReset(state);
    for (int i = 0; i < 100000; ++i) {
        AdpcmDecode(state, static_cast<std::uint8_t>(byte(rng)));
        ASSERT_GE(state.stepIndex, 0);
        ASSERT_LE(state.stepIndex, 88);
        ASSERT_LE(std::abs(state.predictor), 32767);
    }
}

TEST(AdpcmTest, AStepIndexOutsideTheTablesIsRefused) {
    for (const int index : {-1, 89, 127, -128}) {
        AdpcmState state{0, static_cast<std::int8_t>(index)};
        EXPECT_THROW(AdpcmEncode(state, 0), std::out_of_range) << index;
        EXPECT_THROW(AdpcmDecode(state, 0), std::out_of_range) << index;
    }
}

TEST(AdpcmTest, DecodeRunRefusesAShortOutput) {
    AdpcmState state;
    const std::vector<std::uint8_t> stored(4, 0x12);
    std::vector<std::uint8_t> out(7);
    EXPECT_THROW(AdpcmDecodeRun(state, stored, out), std::invalid_argument);
}

}  // namespace
}  // namespace sonabank
