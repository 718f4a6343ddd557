#include "ui/version_info.h"

#include <gtest/gtest.h>

namespace sonabank {
namespace {

// The version the project declares in CMakeLists.txt, handed to this test by
// the build rather than through the generated header the program reads it from.
TEST(GetVersionInfoValue, GivesTheProjectVersionOrQuestionMarks) {
    EXPECT_EQ(GetVersionInfoValue("FileVersion"), SONABANK_PROJECT_VERSION);
    EXPECT_EQ(GetVersionInfoValue("ProductName"), "???");
    EXPECT_EQ(GetVersionInfoValue(""), "???");
}

}  // namespace
}  // namespace sonabank
