#pragma once

// The image's text fields hold one byte per character in the Cyrillic code
// page 1251; the rest of the program speaks UTF-8.

#include <string>
#include <string_view>

namespace sonabank {

// A character the code page cannot hold becomes "?"; invalid UTF-8 too.
std::string Utf8ToCp1251(std::string_view utf8);
std::string Cp1251ToUtf8(std::string_view cp1251);

}  // namespace sonabank
