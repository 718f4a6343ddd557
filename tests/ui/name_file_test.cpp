#include "ui/name_file.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace sonabank {
namespace {

TEST(NameFileToPath, TakesTheFirstItemUnlessTheWholeTextNamesAFile) {
    test::TempDir dir;
    const QString spaced = QString::fromStdString(dir.file("with blank.raw"));
    test::WriteFile(spaced.toStdString(), {1, 2, 3});
    const struct {
        QString text;
        QString path;
    } cases[] = {
        {"", ""},
        {"    ", ""},
        {"a.raw", "a.raw"},
        {"  a.raw  b.raw", "a.raw"},
        {"\"my sound.raw\" other", "my sound.raw"},
        {"  \"my sound.raw", "my sound.raw"},
        {"\"\"", ""},
        {spaced, spaced},
        {spaced + " ", spaced.section(' ', 0, 0)},
        {"\"" + spaced + "\"", spaced},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NameFileToPath(c.text), c.path) << c.text.toStdString();
    }
}

}  // namespace
}  // namespace sonabank
