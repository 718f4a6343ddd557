#pragma once

// Where a fragment's sound comes from, before it is encoded: 16-bit signed
// mono samples, handed out in blocks, in order. A RAW file is one kind; a
// decoded audio file or synthesised speech are others.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace sonabank {

class SampleSource {
  public:
    virtual ~SampleSource() = default;

    // The number of samples the source holds, when it is known before they
    // are read (a RAW file knows it from its size). A decoder that learns its
    // length only by decoding returns nothing.
    virtual std::optional<std::uint64_t> KnownLength() const = 0;

    // Fills the start of `samples` with the next samples and returns how many
    // it wrote: fewer than asked only at the end, 0 once the source is done.
    // A failure of the file behind it throws IoError.
    virtual std::size_t Read(std::span<std::int16_t> samples) = 0;

    // Called once the samples needed have been read: a source that holds a
    // file closes it here, so that a failing close is reported (IoError).
    virtual void Close() {}
};

}  // namespace sonabank
