#include "image/codepage.h"

#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace sonabank {

namespace {

// Length of the well-formed UTF-8 sequence at the start of `bytes`, or 0 when
// it is malformed. Used only to step over one character iconv could not take.
std::size_t Utf8SequenceLength(std::string_view bytes) {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else {
        return 0;
    }
    if (bytes.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80) return 0;
    }
    return length;
}

class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("no iconv conversion from ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts everything; whatever cannot be converted becomes one "?" per
    // character, as `skip` measures a character of the input.
    template <typename Skip>
    std::string Convert(std::string_view input, Skip skip) {
        std::string output;
        char buffer[256];
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        while (inLeft > 0) {
            char* out = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(cd_, &in, &inLeft, &out, &outLeft);
            const int error = errno;
            output.append(buffer, static_cast<std::size_t>(out - buffer));
            if (result != static_cast<std::size_t>(-1) || error == E2BIG) continue;
            // EILSEQ: an unconvertible or malformed character; EINVAL: the
            // input ends inside a character, which then stands for one more.
            output.push_back('?');
            const std::size_t step =
                error == EINVAL ? inLeft
                                : std::min(std::max<std::size_t>(skip({in, inLeft}), 1), inLeft);
            in += step;
            inLeft -= step;
        }
        return output;
    }

  private:
    iconv_t cd_;
};

}  // namespace

std::string Utf8ToCp1251(std::string_view utf8) {
    Converter converter("CP1251", "UTF-8");
    return converter.Convert(utf8, Utf8SequenceLength);
}

std::string Cp1251ToUtf8(std::string_view cp1251) {
    Converter converter("UTF-8", "CP1251");
    return converter.Convert(cp1251, [](std::string_view) { return std::size_t{1}; });
}

TextFit FitText(std::string_view utf8, std::size_t width) {
    std::string bytes = Utf8ToCp1251(utf8);
    TextFit fit;
    fit.replaced = Cp1251ToUtf8(bytes) != utf8;
    fit.cut = bytes.size() > width;
    if (fit.cut) bytes.resize(width);
    fit.stored = Cp1251ToUtf8(bytes);
    return fit;
}

}  // namespace sonabank
