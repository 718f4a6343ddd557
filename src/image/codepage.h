#pragma once

// The image's text fields hold one byte per character in the Cyrillic code
// page 1251; the rest of the program speaks UTF-8.

#include <string>
#include <string_view>

namespace sonabank {

// A character the code page cannot hold becomes "?"; invalid UTF-8 too.
std::string Utf8ToCp1251(std::string_view utf8);
std::string Cp1251ToUtf8(std::string_view cp1251);

// How a text comes out of a field of `width` code page bytes.
struct TextFit {
    std::string stored;     // the field's text, UTF-8
    bool cut = false;       // longer than the field
    bool replaced = false;  // characters the code page lacks became "?"
    bool altered() const { return cut || replaced; }
};
TextFit FitText(std::string_view utf8, std::size_t width);

}  // namespace sonabank
