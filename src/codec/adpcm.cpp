#include "codec/adpcm.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <stdexcept>

namespace sonabank {

namespace {

constexpr int MAX_STEP_INDEX = 88;
constexpr std::int32_t PREDICTOR_LIMIT = 32767;  // symmetric: -32768 is never reached

constexpr std::array<std::uint16_t, MAX_STEP_INDEX + 1> kStepSize = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr std::array<std::int8_t, 16> kIndexAdjust = {-1, -1, -1, -1, 2, 4, 6, 8,
                                                      -1, -1, -1, -1, 2, 4, 6, 8};

// The part of a predictor change that the three magnitude bits of a code
// weigh: the step, half of it and a quarter of it, each halved by a shift.
constexpr std::int32_t WeightedStep(std::int32_t step, int bits) {
    return ((bits & 4) ? step : 0) + ((bits & 2) ? step >> 1 : 0) + ((bits & 1) ? step >> 2 : 0);
}

// What a code does at a step index (index * 16 + code), for the decoder: the
// signed predictor change, and the bounds the predictor is clamped to when
// this code follows another one in the same byte. Clamping twice in a row,
// to -32767..32767 after the first code and again after the second, is one
// clamp of the sum of both changes to the range shifted by the second change
// and cut to -32767..32767; so a byte costs the predictor one add and one
// clamp on its path from byte to byte.
struct DecoderStep {
    std::int32_t delta;
    std::int16_t low;
    std::int16_t high;
};

constexpr std::array<DecoderStep, (MAX_STEP_INDEX + 1)* 16> kDecoderSteps = [] {
    std::array<DecoderStep, (MAX_STEP_INDEX + 1) * 16> table{};
    for (int index = 0; index <= MAX_STEP_INDEX; ++index) {
        const std::int32_t step = kStepSize[index];
        for (int code = 0; code < 16; ++code) {
            const std::int32_t vpdiff = (step >> 3) + WeightedStep(step, code & 7);
            const std::int32_t delta = (code & 8) ? -vpdiff : vpdiff;
            table[index * 16 + code] = {
                delta, static_cast<std::int16_t>(-PREDICTOR_LIMIT + std::max(delta, 0)),
                static_cast<std::int16_t>(PREDICTOR_LIMIT + std::min(delta, 0))};
        }
    }
    return table;
}();

constexpr int NextIndex(int index, int code) {
    return std::clamp(index + kIndexAdjust[code], 0, MAX_STEP_INDEX);
}

// The step index after one code, times 16: where the record of the byte's
// second code begins in kDecoderSteps.
constexpr std::array<std::uint16_t, (MAX_STEP_INDEX + 1)* 16> kNextStepRow = [] {
    std::array<std::uint16_t, (MAX_STEP_INDEX + 1) * 16> table{};
    for (int index = 0; index <= MAX_STEP_INDEX; ++index) {
        for (int code = 0; code < 16; ++code) {
            table[index * 16 + code] = static_cast<std::uint16_t>(NextIndex(index, code) * 16);
        }
    }
    return table;
}();

// The step index after a whole byte, by byte and then by step index. This
// lookup is the decoder's only serial path, one load per byte; laid out by
// byte first, its row is found before the index is known.
constexpr std::array<std::uint8_t, 256 * (MAX_STEP_INDEX + 1)> kIndexAfterByte = [] {
    std::array<std::uint8_t, 256 * (MAX_STEP_INDEX + 1)> table{};
    for (int byte = 0; byte < 256; ++byte) {
        for (int index = 0; index <= MAX_STEP_INDEX; ++index) {
            table[byte * (MAX_STEP_INDEX + 1) + index] =
                static_cast<std::uint8_t>(NextIndex(NextIndex(index, byte >> 4), byte & 15));
        }
    }
    return table;
}();

}  // namespace

// What the encoder needs at one step index: the parts of the step that the
// three magnitude bits weigh, the step >> 3 every code adds, and the records
// of the eight step indices a magnitude leads to. The power-of-two size
// turns the distance from the first successor back into the magnitude with
// a shift.
struct alignas(32) AdpcmEncoderStep {
    std::int32_t step;
    std::int32_t half;
    std::int32_t quarter;
    std::int32_t eighth;
    const AdpcmEncoderStep* successors;  // by magnitude
    std::int32_t index;
};

namespace {

using EncoderStep = AdpcmEncoderStep;
extern const std::array<EncoderStep, (MAX_STEP_INDEX + 1) * 8> kEncoderSuccessors;

constexpr EncoderStep MakeEncoderStep(int index) {
    const std::int32_t step = kStepSize[index];
    return {WeightedStep(step, 4),
            WeightedStep(step, 2),
            WeightedStep(step, 1),
            step >> 3,
            &kEncoderSuccessors[static_cast<std::size_t>(index) * 8],
            index};
}

constexpr std::array<EncoderStep, MAX_STEP_INDEX + 1> kEncoderSteps = [] {
    std::array<EncoderStep, MAX_STEP_INDEX + 1> table{};
    for (int index = 0; index <= MAX_STEP_INDEX; ++index) table[index] = MakeEncoderStep(index);
    return table;
}();

// By step index and magnitude (the code without its sign bit), the record of
// the next step index, so that one load takes the encoder from one sample's
// step to the next.
constexpr std::array<EncoderStep, (MAX_STEP_INDEX + 1)* 8> kEncoderSuccessors = [] {
    std::array<EncoderStep, (MAX_STEP_INDEX + 1) * 8> table{};
    for (int index = 0; index <= MAX_STEP_INDEX; ++index) {
        for (int magnitude = 0; magnitude < 8; ++magnitude) {
            table[index * 8 + magnitude] = MakeEncoderStep(NextIndex(index, magnitude));
        }
    }
    return table;
}();

// A step index outside the tables, from a state set from outside, would
// read past them.
std::int32_t CheckedStepIndex(std::int8_t index) {
    if (index < 0 || index > MAX_STEP_INDEX) {
        throw std::out_of_range("ADPCM step index outside 0..88");
    }
    return index;
}

// The codec state while a call or a run works on it.
struct Cursor {
    std::int32_t predictor;
    std::int32_t index;

    static Cursor Load(const AdpcmState& state) {
        return {state.predictor, CheckedStepIndex(state.stepIndex)};
    }
    void Store(AdpcmState& state) const {
        state.predictor = predictor;
        state.stepIndex = static_cast<std::int8_t>(index);
    }
    // Applies a code (0..15) and returns the new predictor. The next index
    // comes from the code alone, not from a table entry of the current index:
    // between calls the state passes through memory, and this keeps a table
    // load off the path from one call's index to the next.
    std::int32_t Advance(unsigned code) {
        const std::int32_t delta = kDecoderSteps[static_cast<unsigned>(index) * 16 + code].delta;
        predictor = std::clamp(predictor + delta, -PREDICTOR_LIMIT, PREDICTOR_LIMIT);
        index = NextIndex(index, static_cast<int>(code));
        return predictor;
    }
};

// High byte of the predictor with its top bit inverted: 8-bit unsigned.
inline std::uint8_t ToUnsigned8(std::int32_t predictor) {
    return static_cast<std::uint8_t>((predictor + 32768) >> 8);
}

// The encoder's serial path, from one sample's predictor and step record to
// the next one's, is a chain of selections on noisy conditions: the sign of
// the difference and the magnitude bits are what a branch predictor cannot
// learn. GCC turns some of these selections into branches (two values
// chosen on one condition, or a choice between a bound and a sum), and even
// its conditional moves leave more steps on the path than needed: together
// about a quarter more time per sample. On x86-64 they are written out as
// conditional moves, elsewhere as plain C++ of the same meaning.

// |a - b|, both differences taken side by side: one subtraction and one
// conditional move on the path instead of a subtraction, a negation and a
// conditional move.
inline std::int32_t Distance(std::int32_t a, std::int32_t b) {
#if defined(__x86_64__)
    std::int32_t distance;
    std::int32_t reverse;
    asm("mov %[b], %[reverse]\n\t"
        "sub %[a], %[reverse]\n\t"
        "mov %[a], %[distance]\n\t"
        "sub %[b], %[distance]\n\t"
        "cmovs %[reverse], %[distance]"
        : [distance] "=&r"(distance), [reverse] "=&r"(reverse)
        : [a] "r"(a), [b] "r"(b)
        : "cc");
    return distance;
#else
    return std::abs(a - b);
#endif
}

// One question of the successive approximation: when `rest` reaches `part`,
// takes it and moves `next` on by kSkip records; both moves hang on the flags
// of the one subtraction.
template <std::ptrdiff_t kSkip>
inline void TakePart(std::int32_t& rest, const EncoderStep*& next, std::int32_t part) {
#if defined(__x86_64__)
    std::int32_t less;
    const EncoderStep* moved;
    asm("lea %c[skip](%[next]), %[moved]\n\t"
        "mov %[rest], %[less]\n\t"
        "sub %[part], %[less]\n\t"
        "cmovns %[less], %[rest]\n\t"
        "cmovns %[moved], %[next]"
        : [rest] "+r"(rest), [next] "+r"(next), [less] "=&r"(less), [moved] "=&r"(moved)
        : [part] "rm"(part), [skip] "i"(kSkip * static_cast<std::ptrdiff_t>(sizeof(EncoderStep)))
        : "cc");
#else
    if (rest >= part) {
        rest -= part;
        next += kSkip;
    }
#endif
}

// `value`, or `bound` when `rest` is below `floor`: the comparison runs while
// `value` is still being computed.
inline std::int32_t BoundBelow(std::int32_t rest, std::int32_t floor, std::int32_t bound,
                               std::int32_t value) {
#if defined(__x86_64__)
    asm("cmp %[floor], %[rest]\n\t"
        "cmovl %[bound], %[value]"
        : [value] "+r"(value)
        : [rest] "r"(rest), [floor] "r"(floor), [bound] "r"(bound)
        : "cc");
    return value;
#else
    return rest < floor ? bound : value;
#endif
}

}  // namespace

void AdpcmReset(AdpcmState& state) {
    state = AdpcmState{};
}

std::uint8_t AdpcmEncode(AdpcmState& state, std::int16_t sample) {
    // Looking the record up from the index at every call would put a second
    // dependent load between one sample and the next.
    const EncoderStep* at = state.encoderStep;
    if (!at || at->index != state.stepIndex) [[unlikely]] {
        at = &kEncoderSteps[static_cast<std::size_t>(CheckedStepIndex(state.stepIndex))];
    }

    // The successive approximation of |sample - predictor|: three parts of
    // the step, each taken when what is left reaches it; the record of the
    // next step index moves along with the magnitude bits.
    const std::int32_t sign = (sample - state.predictor) >> 31;  // 0 or -1
    std::int32_t rest = Distance(sample, state.predictor);
    const EncoderStep* next = at->successors;
    TakePart<4>(rest, next, at->step);
    TakePart<2>(rest, next, at->half);
    TakePart<1>(rest, next, at->quarter);
    const auto magnitude = static_cast<unsigned>(next - at->successors);

    // The predictor moves by eighth plus the parts taken, |diff| - rest, which
    // lands it on the sample plus or minus (eighth - rest). Moving up it can
    // only pass 32767 and moving down only -32767, so with the sign folded out
    // one bound is all there is to clamp against. Written as a floor on rest
    // (reach is the sample, sign folded out, plus eighth), the clamp compares
    // rest with a bound known in advance while the predictor is computed.
    const std::int32_t reach = ((sample ^ sign) - sign) + at->eighth;
    const std::int32_t signedReach = ((reach ^ sign) - sign) + sign;
    state.predictor = BoundBelow(rest, reach - PREDICTOR_LIMIT, (PREDICTOR_LIMIT ^ sign) - sign,
                                 signedReach - (rest ^ sign));

    at = next;
    state.encoderStep = at;
    state.stepIndex = at->index;
    return static_cast<std::uint8_t>(magnitude | (static_cast<unsigned>(sign) & 8));
}

std::uint8_t AdpcmDecode(AdpcmState& state, std::uint8_t code) {
    Cursor cursor = Cursor::Load(state);
    const std::uint8_t sample = ToUnsigned8(cursor.Advance(code & 15u));
    cursor.Store(state);
    return sample;
}

void AdpcmDecodeRun(AdpcmState& state, std::span<const std::uint8_t> stored,
                    std::span<std::uint8_t> out) {
    AdpcmReset(state);
    AdpcmDecodeMore(state, stored, out);
}

void AdpcmDecodeMore(AdpcmState& shared, std::span<const std::uint8_t> stored,
                     std::span<std::uint8_t> out) {
    if (out.size() < 2 * stored.size()) {
        throw std::invalid_argument("AdpcmDecode: output smaller than two bytes per stored byte");
    }
    // The state lives in registers for the run and goes back to the shared
    // instance at the end, as if AdpcmDecode had been called per code.
    std::int32_t predictor = shared.predictor;
    auto index = static_cast<std::uint32_t>(CheckedStepIndex(shared.stepIndex));
    std::uint8_t* dst = out.data();
    for (const std::uint8_t byte : stored) {
        const std::uint8_t* indexAfter = &kIndexAfterByte[byte * (MAX_STEP_INDEX + 1u)];
        const std::uint32_t first = index * 16 + (byte >> 4);
        const DecoderStep& high = kDecoderSteps[first];
        const DecoderStep& low = kDecoderSteps[kNextStepRow[first] + (byte & 15u)];
        *dst++ = ToUnsigned8(std::clamp(predictor + high.delta, -PREDICTOR_LIMIT, PREDICTOR_LIMIT));
        predictor = std::min(std::max(predictor + (high.delta + low.delta), std::int32_t{low.low}),
                             std::int32_t{low.high});
        *dst++ = ToUnsigned8(predictor);
        index = indexAfter[index];
    }
    Cursor{predictor, static_cast<std::int32_t>(index)}.Store(shared);
}

}  // namespace sonabank
