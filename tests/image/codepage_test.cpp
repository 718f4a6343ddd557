#include "image/codepage.h"

#include <gtest/gtest.h>

namespace sonabank {
namespace {

TEST(Codepage, Utf8ToCp1251) {
    struct Case {
        const char* name;
        std::string utf8;
        std::string cp1251;
    };
    const Case cases[] = {
        {"ASCII", "Track 01", "Track 01"},
        {"Cyrillic", "Привет, Ёжик №5",
         "\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6\xE8\xEA \xB9"
         "5"},
        {"alphabet ends", "Ая", "\xC0\xFF"},
        {"euro sign lives in the code page", "€", "\x88"},
        {"unencodable characters become one ? each", "a日😀b", "a??b"},
        {"malformed byte",
         "a\xFF"
         "b",
         "a?b"},
        {"truncated sequence at the end", "ab\xD0", "ab?"},
        {"truncated three-byte sequence is one character", "ab\xE2\x82", "ab?"},
        {"lone continuation byte", "\x80x", "?x"},
        {"zero bytes pass", std::string("a\0b", 3), std::string("a\0b", 3)},
        {"empty", "", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Utf8ToCp1251(c.utf8), c.cp1251) << c.name;
}

TEST(Codepage, EveryDefinedByteRoundTrips) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) {
        if (byte != 0x98) all.push_back(static_cast<char>(byte));  // 0x98 is unassigned
    }
    const std::string utf8 = Cp1251ToUtf8(all);
    EXPECT_EQ(Utf8ToCp1251(utf8), all);
    EXPECT_EQ(Cp1251ToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2"), "Привет");
}

TEST(Codepage, UnassignedByteBecomesQuestionMark) {
    EXPECT_EQ(Cp1251ToUtf8("a\x98"
                           "b"),
              "a?b");
}

TEST(Codepage, LongTextsConvertWhole) {
    std::string utf8;
    std::string cp1251;
    for (int i = 0; i < 1000; ++i) {
        utf8 += "Жу日";
        cp1251 += "\xC6\xF3?";
    }
    EXPECT_EQ(Utf8ToCp1251(utf8), cp1251);
}

}  // namespace
}  // namespace sonabank
