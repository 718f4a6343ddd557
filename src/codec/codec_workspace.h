#pragma once

// What the sound coding works with: the codec state that encoder and decoder
// share, and the buffer ADPCM fragments are decoded into for playing and
// exporting. The project object owns the program's one.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "codec/adpcm.h"
#include "image/memory_image.h"

namespace sonabank {

class CodecWorkspace {
  public:
    // The program's buffer holds the largest fragment decoded; a smaller one
    // cuts what is decoded short.
    explicit CodecWorkspace(std::size_t decodeBufferSize = DECODE_BUFFER_SIZE)
        // Taken from the system untouched: a program that never decodes never
        // has the pages resident.
        : decodeBuffer_(std::make_unique_for_overwrite<std::uint8_t[]>(decodeBufferSize)),
          size_(decodeBufferSize) {}

    AdpcmState adpcm;
    std::span<std::uint8_t> DecodeBuffer() { return {decodeBuffer_.get(), size_}; }

  private:
    std::unique_ptr<std::uint8_t[]> decodeBuffer_;
    std::size_t size_;
};

}  // namespace sonabank
