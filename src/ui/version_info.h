#pragma once

// The program's version text for the status bar.

#include <string>
#include <string_view>

namespace sonabank {

// A value of the program's version information: "FileVersion" is the build's
// project version. "???" for a missing or empty value.
std::string GetVersionInfoValue(std::string_view name);

}  // namespace sonabank
