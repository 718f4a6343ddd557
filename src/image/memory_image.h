#pragma once

// The memory image: a byte-exact copy of the device's sound memory, which is
// also the project file. Pages 0 to 4 hold the catalogue, pages 5 to 4095 the
// sound data. All multi-byte numbers are little-endian.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sonabank {

constexpr std::size_t PAGE_SIZE = 528;
constexpr std::size_t PAGE_COUNT = 4096;
constexpr std::size_t IMAGE_SIZE = PAGE_COUNT * PAGE_SIZE;  // 2,162,688
constexpr std::size_t HEADER_PAGES = 5;
constexpr std::size_t DATA_OFFSET = HEADER_PAGES * PAGE_SIZE;    // 2640
constexpr std::size_t DATA_CAPACITY = IMAGE_SIZE - DATA_OFFSET;  // 2,160,048
constexpr int MAX_FRAGMENTS = 100;

constexpr std::size_t ENTRY_SIZE = 5;
constexpr std::size_t COPYRIGHT_OFFSET = 500;
constexpr std::size_t COPYRIGHT_WIDTH = 28;
constexpr std::size_t DESCRIPTION_OFFSET = 528;
constexpr std::size_t DESCRIPTION_WIDTH = 21;
constexpr std::size_t MAGIC_OFFSET = 2628;
constexpr std::string_view MAGIC = "*FDA*";

// Twice the image: room to decode the largest ADPCM fragment.
constexpr std::size_t DECODE_BUFFER_SIZE = 2 * IMAGE_SIZE;

enum class SoundFormat : std::uint8_t { ADPCM_11025 = 0, PCM_11025 = 1, PCM_22050 = 2 };

// Code 3 is never written by this program but may come in a foreign image.
constexpr int FORMAT_CODE_UNKNOWN = 3;

// The rate a fragment's samples play at: 22050 for PCM_22050, 11025 for every
// other format code.
constexpr std::uint32_t SampleRateOf(int formatCode) {
    return formatCode == static_cast<int>(SoundFormat::PCM_22050) ? 22050 : 11025;
}

// Owns exactly IMAGE_SIZE bytes. The program keeps one; tests make their own.
class MemoryImage {
  public:
    MemoryImage() : bytes_(IMAGE_SIZE, 0) {}
    // Bytes left as the allocation gives them, for an image that is about
    // to be read whole: filling 2 MB first would only be overwritten.
    struct ForOverwrite {};
    explicit MemoryImage(ForOverwrite) : bytes_(IMAGE_SIZE) {}

    std::uint8_t* data() { return bytes_.data(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    static constexpr std::size_t size() { return IMAGE_SIZE; }
    std::span<std::uint8_t> bytes() { return bytes_; }
    std::span<const std::uint8_t> bytes() const { return bytes_; }
    std::uint8_t& operator[](std::size_t i) { return bytes_[i]; }
    std::uint8_t operator[](std::size_t i) const { return bytes_[i]; }

    bool operator==(const MemoryImage&) const = default;

  private:
    // Sizing by count default-initialises the bytes: nothing is written.
    template <typename T>
    struct DefaultInitAllocator : std::allocator<T> {
        template <typename U>
        void construct(U* p) {
            ::new (static_cast<void*>(p)) U;
        }
        template <typename U, typename... Args>
        void construct(U* p, Args&&... args) {
            std::allocator_traits<std::allocator<T>>::construct(
                static_cast<std::allocator<T>&>(*this), p, std::forward<Args>(args)...);
        }
    };
    std::vector<std::uint8_t, DefaultInitAllocator<std::uint8_t>> bytes_;
};

// A fresh image: zeros, data area 0xFF, descriptions blank, the magic.
void InitImage(MemoryImage& image);

// Pages a fragment of `length` stored bytes occupies (length / 528 rounded up).
constexpr std::uint32_t pagesOf(std::uint64_t length) {
    return static_cast<std::uint32_t>((length + PAGE_SIZE - 1) / PAGE_SIZE);
}

// Directory entry accessors by slot (0..99). The entry word holds the format
// in bits 15-14 and the start page in bits 13-0.
std::uint16_t EntryWord(const MemoryImage& image, int slot);
void SetEntryWord(MemoryImage& image, int slot, std::uint16_t word);
int StartPage(const MemoryImage& image, int slot);
std::uint32_t FragmentLength(const MemoryImage& image, int slot);
void SetFragmentLength(MemoryImage& image, int slot, std::uint32_t length);
void ClearEntry(MemoryImage& image, int slot);

// Format code (0..3) of the fragment shown in grid row `row` (slot row - 1).
int GetFragmentFormat(const MemoryImage& image, int row);
void SetFragmentFormat(MemoryImage& image, int row, int code);

// The fixed-width text fields, as raw code page 1251 bytes.
std::span<std::uint8_t> CopyrightField(MemoryImage& image);
std::span<const std::uint8_t> CopyrightField(const MemoryImage& image);
std::span<std::uint8_t> DescriptionField(MemoryImage& image, int slot);
std::span<const std::uint8_t> DescriptionField(const MemoryImage& image, int slot);

// n + 1 bytes of the field as characters (zero bytes included), trailing
// blanks removed.
std::string ReadPaddedText(std::span<const std::uint8_t> field, std::size_t n);
// Writes exactly n + 1 bytes: the text, cut or blank padded.
void WritePaddedText(std::span<std::uint8_t> field, std::size_t n, std::string_view text);

bool HasMagic(const MemoryImage& image);

}  // namespace sonabank
