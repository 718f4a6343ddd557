#pragma once

// Stored texts come from foreign images, file names and the command line:
// printed raw, a TAB or a line end would break the one-line output and an
// escape sequence would reach the terminal.

#include <string>
#include <string_view>

namespace sonabank::cli {

// TAB as \t, LF as \n, CR as \r, a backslash as \\, any other code below 32
// and 127 as \xHH (lower-case hex); everything else as it is.
std::string EscapedText(std::string_view text);

// `text` (UTF-8) as a JSON string, quotes included.
std::string JsonString(std::string_view text);

}  // namespace sonabank::cli
