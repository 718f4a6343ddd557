// Exit statuses and messages: wrong usage, refusals and input/output errors,
// and that none of them touches the image.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/run_program.h"
#include "image/memory_image.h"
#include "version.h"

namespace sonabank::test {
namespace {

using Usage = CliTest;

TEST_F(Usage, HelpAndVersion) {
    const ProgramResult help = Cli({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"new", "list", "info", "add", "change", "delete", "copyright",
                                "export", "wav", "build", "check"}) {
        EXPECT_NE(help.out.find(std::string("  ") + command + " "), std::string::npos) << command;
    }
    const ProgramResult version = Cli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("sonabank-cli ") + SONABANK_VERSION + "\n");
}

TEST_F(Usage, WrongUsageExitsWith2AndLeavesTheImageAlone) {
    const std::string image = NewImage();
    const std::string raw = Raw("a.raw", 100);
    ASSERT_EQ(Cli({"add", image, raw}).status, 0);
    const auto before = ReadFile(image);
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate", image},
        {"list"},
        {"list", image, "extra"},
        {"add", image},
        {"add", image, raw, "--width", "12"},
        {"add", image, raw, "--format", "mp3"},
        {"add", image, raw, "--format"},
        {"add", image, raw, "--bogus"},
        {"add", image, raw, "--force"},
        {"add", image, raw, "--width", "8", "--width", "16"},
        {"new", image, "--force=yes"},
        {"delete", image, "1"},
        {"delete", image, "-1"},
        {"delete", image, "0x0"},
        {"delete", image, ""},
        {"change", image, "99999999999"},
        {"export", image, "1", File("out.raw")},
        {"wav", image, "zero", File("out.wav")},
    };
    for (const auto& args : cases) {
        std::string joined;
        for (const auto& arg : args) joined += arg + " ";
        SCOPED_TRACE(joined);
        const ProgramResult result = Cli(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_FALSE(result.err.empty());
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(ReadFile(image), before);
    EXPECT_FALSE(std::filesystem::exists(File("out.raw")));
}

TEST_F(Usage, RefusalsPrintTheProgramsTextAndExitWith1) {
    const std::string image = NewImage();
    ASSERT_EQ(Cli({"add", image, Raw("a.raw", 100)}).status, 0);
    auto wrongMagic = ReadFile(image);
    std::copy_n("*fda*", 5, wrongMagic.begin() + MAGIC_OFFSET);
    WriteFile(File("lower.bin"), wrongMagic);
    const std::string readOnlyRaw = Raw("ro.raw", 10);
    MakeReadOnly(readOnlyRaw);
    Raw("empty.raw", 0);
    Raw("big.raw", DATA_CAPACITY);  // one page too many behind the first fragment

    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {{"list", File("absent.bin")},
         File("absent.bin") + ": Невозможно открыть файл! (No such file or directory)\n"},
        {{"info", File("lower.bin")}, File("lower.bin") + ": Неверный формат файла!\n"},
        {{"add", image, File("absent.raw")},
         File("absent.raw") + ": Невозможно открыть файл! (No such file or directory)\n"},
        {{"add", image, readOnlyRaw},
         readOnlyRaw + ": Невозможно открыть файл! (the file is read-only)\n"},
        {{"add", image, ""}, "Вы не указали файл со звуковыми данными!\n"},
        {{"add", image, File("empty.raw")},
         File("empty.raw") + ": Файл не содержит звуковых данных!\n"},
        {{"add", image, File("big.raw")}, File("big.raw") + ": Файл слишком велик!\n"},
        {{"change", image, "0", File("big.raw")}, File("big.raw") + ": Файл слишком велик!\n"},
    };
    const auto before = ReadFile(image);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        const ProgramResult result = Cli(c.args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, c.err);
    }
    EXPECT_EQ(ReadFile(image), before);

    // A read-only image can be neither opened for a change nor saved over.
    MakeReadOnly(image);
    const ProgramResult readOnly = Cli({"copyright", image, "x"});
    EXPECT_EQ(readOnly.status, 1);
    EXPECT_EQ(readOnly.err, image + ": Невозможно открыть файл! (the file is read-only)\n");
    EXPECT_EQ(ReadFile(image), before);
    EXPECT_EQ(Cli({"new", image, "--force"}).err, image + ": Невозможно создать файл!\n");
    EXPECT_EQ(ReadFile(image), before);
}

TEST_F(Usage, InputOutputErrorsExitWith3) {
    const std::string image = NewImage();
    const auto whole = ReadFile(image);
    // Long enough to carry the magic, too short for the whole image.
    WriteFile(File("short.bin"), std::vector<std::uint8_t>(whole.begin(), whole.begin() + 3000));
    WriteFile(File("tiny.bin"), std::vector<std::uint8_t>(100, 0));
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"list", File("short.bin")},
             {"add", File("short.bin"), Raw("a.raw", 10)},
             {"info", File("tiny.bin")},
             {"check", File("short.bin")},
         }) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        const ProgramResult result = Cli(args);
        EXPECT_EQ(result.status, 3);
        EXPECT_EQ(result.err, args[1] + ": Read beyond end of file.\n");
    }
    EXPECT_EQ(ReadFile(File("short.bin")).size(), 3000u);

    ASSERT_EQ(Cli({"add", image, Raw("b.raw", 10)}).status, 0);
    const ProgramResult full = RunProgram(SONABANK_CLI, {"list", image}, "/dev/full");
    EXPECT_EQ(full.status, 3);
    EXPECT_EQ(full.err, "standard output: No space left on device\n");
}

}  // namespace
}  // namespace sonabank::test
