#include "cli/text_escape.h"

#include <cstdio>

namespace sonabank::cli {

namespace {

// `prefix` and the code as `digits` lower-case hex digits.
std::string HexEscape(const char* prefix, unsigned char code, int digits) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%0*x", digits, code);
    return prefix + std::string(hex);
}

}  // namespace

std::string EscapedText(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (code < 32 || code == 127) {
                    out += HexEscape("\\x", code, 2);
                } else {
                    out += c;
                }
        }
    }
    return out;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (code < 32) {
            out += HexEscape("\\u", code, 4);
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace sonabank::cli
