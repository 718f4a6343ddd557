#include "ui/version_info.h"

#include <gtest/gtest.h>

#include "version.h"

namespace sonabank {
namespace {

TEST(GetVersionInfoValue, GivesTheBuildVersionOrQuestionMarks) {
    EXPECT_EQ(GetVersionInfoValue("FileVersion"), SONABANK_VERSION);
    EXPECT_EQ(GetVersionInfoValue("ProductName"), "???");
    EXPECT_EQ(GetVersionInfoValue(""), "???");
}

}  // namespace
}  // namespace sonabank
