#include "project/project_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "image/codepage.h"
#include "io/byte_stream.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace sonabank {
namespace {

using test::MakeReadOnly;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// An image whose every byte says where it came from, so that any mix-up of
// bytes shows.
MemoryImage NoisyImage(unsigned seed) {
    MemoryImage image;
    std::mt19937 random(seed);
    for (auto& byte : image.bytes()) byte = static_cast<std::uint8_t>(random());
    std::copy(MAGIC.begin(), MAGIC.end(), image.data() + MAGIC_OFFSET);
    return image;
}

std::vector<std::uint8_t> BytesOf(const MemoryImage& image) {
    return {image.bytes().begin(), image.bytes().end()};
}

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

std::vector<std::string> FilesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ProjectFile, SaveThenOpenRoundTripsByteForByte) {
    TempDir dir;
    const std::string path = dir.file("bank.bin");
    MemoryImage saved = NoisyImage(1);

    ASSERT_EQ(SaveProject(path, saved, "Звуки  2024"), std::nullopt);

    const auto file = ReadFile(path);
    ASSERT_EQ(file.size(), IMAGE_SIZE);
    const std::string copyright = Utf8ToCp1251("Звуки  2024") + std::string(17, ' ');
    EXPECT_EQ(std::string(file.begin() + COPYRIGHT_OFFSET, file.begin() + COPYRIGHT_OFFSET + 28),
              copyright);
    EXPECT_EQ(file, BytesOf(saved));  // the copyright went into the image too

    MemoryImage opened = NoisyImage(2);
    ASSERT_EQ(OpenProject(path, opened), std::nullopt);
    EXPECT_EQ(opened, saved);
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"bank.bin"});
}

TEST(ProjectFile, SaveCutsALongCopyrightAndReplacesTheOldFile) {
    TempDir dir;
    const std::string path = dir.file("bank.bin");
    WriteFile(path, std::vector<std::uint8_t>(5000, 0x55));
    fs::permissions(path, fs::perms(0640));
    MemoryImage image = NoisyImage(3);

    ASSERT_EQ(SaveProject(path, image, "0123456789012345678901234567890"), std::nullopt);

    const auto file = ReadFile(path);
    EXPECT_EQ(file, BytesOf(image));
    EXPECT_EQ(std::string(file.begin() + COPYRIGHT_OFFSET, file.begin() + COPYRIGHT_OFFSET + 28),
              "0123456789012345678901234567");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms(0640));
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"bank.bin"});
}

TEST(ProjectFile, SaveThroughALinkKeepsTheLink) {
    TempDir dir;
    fs::create_directory(dir.path() / "real");
    const std::string real = dir.file("real/bank.bin");
    WriteFile(real, {1, 2, 3});
    fs::create_symlink(real, dir.path() / "link.bin");
    MemoryImage image = NoisyImage(4);

    ASSERT_EQ(SaveProject(dir.file("link.bin"), image, ""), std::nullopt);

    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.bin"));
    EXPECT_EQ(ReadFile(real), BytesOf(image));
}

TEST(ProjectFile, LongerFileOpensWithItsFirstImageSizeBytes) {
    TempDir dir;
    const std::string path = dir.file("long.bin");
    auto bytes = BytesOf(NoisyImage(5));
    bytes.resize(IMAGE_SIZE + 1000, 0x77);
    WriteFile(path, bytes);
    MemoryImage image;

    ASSERT_EQ(OpenProject(path, image), std::nullopt);
    EXPECT_EQ(image, NoisyImage(5));
}

// Every refusal and every short file leaves the image as it was and the file
// closed.
struct OpenCase {
    const char* name;
    std::size_t size;   // 0: no file at all
    std::string magic;  // written at MAGIC_OFFSET when the file is long enough
    bool readOnly;
    std::optional<Refusal> refusal;
    int ioError;  // 0: none
};
void PrintTo(const OpenCase& c, std::ostream* os) {
    *os << c.name;
}

class OpenProjectFailures : public testing::TestWithParam<OpenCase> {};

TEST_P(OpenProjectFailures, ImageUntouchedAndFileClosed) {
    const OpenCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file("in.bin");
    if (c.size > 0) {
        auto bytes = BytesOf(NoisyImage(6));
        bytes.resize(c.size);
        if (c.size >= MAGIC_OFFSET + c.magic.size())
            std::copy(c.magic.begin(), c.magic.end(), bytes.begin() + MAGIC_OFFSET);
        WriteFile(path, bytes);
        if (c.readOnly) MakeReadOnly(path);
    }
    MemoryImage image = NoisyImage(7);
    const std::size_t descriptors = OpenDescriptors();

    int ioError = 0;
    std::optional<Refusal> refusal;
    try {
        refusal = OpenProject(path, image);
    } catch (const IoError& error) {
        ioError = error.code();
    }
    EXPECT_EQ(refusal, c.refusal);
    EXPECT_EQ(ioError, c.ioError);
    EXPECT_EQ(image, NoisyImage(7));
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenProjectFailures,
    testing::Values(
        OpenCase{"Missing", 0, "*FDA*", false, Refusal::CannotOpen, 0},
        OpenCase{"ReadOnly", IMAGE_SIZE, "*FDA*", true, Refusal::CannotOpen, 0},
        OpenCase{"LowerCaseMagic", IMAGE_SIZE, "*fda*", false, Refusal::WrongFormat, 0},
        OpenCase{"OneByteOff", IMAGE_SIZE, "*FDA-", false, Refusal::WrongFormat, 0},
        OpenCase{"TooShortForTheMagic", 2632, "", false, std::nullopt, IO_READ_BEYOND_EOF},
        OpenCase{"EndsRightAfterTheMagic", 2633, "*FDA*", false, std::nullopt, IO_READ_BEYOND_EOF},
        OpenCase{"OneByteShort", IMAGE_SIZE - 1, "*FDA*", false, std::nullopt, IO_READ_BEYOND_EOF}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProjectFile, SaveRefusals) {
    TempDir dir;
    const std::string readOnly = dir.file("locked.bin");
    WriteFile(readOnly, {9, 9, 9});
    MakeReadOnly(readOnly);
    fs::create_directory(dir.path() / "folder.bin");

    for (const std::string& path :
         {readOnly, dir.file("missing/bank.bin"), dir.file("folder.bin")}) {
        SCOPED_TRACE(path);
        MemoryImage image = NoisyImage(8);
        EXPECT_EQ(SaveProject(path, image, "new copyright"), Refusal::CannotCreate);
        EXPECT_EQ(image, NoisyImage(8));
    }
    EXPECT_EQ(ReadFile(readOnly), (std::vector<std::uint8_t>{9, 9, 9}));
    EXPECT_EQ(FilesIn(dir.path()), (std::vector<std::string>{"folder.bin", "locked.bin"}));
}

class FailOnce : public FileFaultHook {
  public:
    FailOnce(FileOp op, FaultAction action) : op_(op), action_(action) { SetFileFaultHook(this); }
    ~FailOnce() override { SetFileFaultHook(nullptr); }
    FaultAction Before(FileOp op) override {
        if (op != op_ || used_) return FaultAction::Proceed;
        used_ = true;
        return action_;
    }

  private:
    FileOp op_;
    FaultAction action_;
    bool used_ = false;
};

TEST(ProjectFile, SaveRefusedWhenTheTemporaryFileCannotBeCreated) {
    TempDir dir;
    const std::string path = dir.file("bank.bin");
    WriteFile(path, {1, 2, 3});
    MemoryImage image = NoisyImage(9);
    FailOnce fault(FileOp::Create, FaultAction::Fail);

    EXPECT_EQ(SaveProject(path, image, "new copyright"), Refusal::CannotCreate);
    EXPECT_EQ(image, NoisyImage(9));
    EXPECT_EQ(ReadFile(path), (std::vector<std::uint8_t>{1, 2, 3}));
}

struct SaveFault {
    const char* name;
    FileOp op;
    FaultAction action;
};
void PrintTo(const SaveFault& c, std::ostream* os) {
    *os << c.name;
}

class SaveFailingPartWay : public testing::TestWithParam<SaveFault> {};

TEST_P(SaveFailingPartWay, OldFileImageAndFolderAsTheyWere) {
    TempDir dir;
    const std::string path = dir.file("bank.bin");
    const auto previous = BytesOf(NoisyImage(10));
    WriteFile(path, previous);
    MemoryImage image = NoisyImage(11);
    FailOnce fault(GetParam().op, GetParam().action);

    EXPECT_THROW(SaveProject(path, image, "new copyright"), IoError);
    EXPECT_EQ(ReadFile(path), previous);
    EXPECT_EQ(image, NoisyImage(11));
    EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"bank.bin"});
}

INSTANTIATE_TEST_SUITE_P(Faults, SaveFailingPartWay,
                         testing::Values(SaveFault{"ShortWrite", FileOp::Write, FaultAction::Short},
                                         SaveFault{"FailedWrite", FileOp::Write, FaultAction::Fail},
                                         SaveFault{"FailedSync", FileOp::Sync, FaultAction::Fail},
                                         SaveFault{"FailedClose", FileOp::Close, FaultAction::Fail},
                                         SaveFault{"FailedRename", FileOp::Rename,
                                                   FaultAction::Fail}),
                         [](const auto& info) { return std::string(info.param.name); });

// Looks into the folder at the moment the new content is written, as another
// user could.
class FolderAtWrite : public FileFaultHook {
  public:
    explicit FolderAtWrite(fs::path folder) : folder_(std::move(folder)) { SetFileFaultHook(this); }
    ~FolderAtWrite() override { SetFileFaultHook(nullptr); }
    FaultAction Before(FileOp op) override {
        if (op == FileOp::Write) {
            for (const auto& entry : fs::directory_iterator(folder_)) {
                const auto perms = entry.status().permissions();
                if ((perms & (fs::perms::group_read | fs::perms::others_read)) != fs::perms::none) {
                    readableByOthers.push_back(entry.path().filename());
                }
            }
        }
        return FaultAction::Proceed;
    }
    std::vector<std::string> readableByOthers;

  private:
    fs::path folder_;
};

TEST(SafeSave, NewContentIsPrivateUntilItReplacesTheFileWhateverTheName) {
    TempDir dir;
    for (const std::string& name : {std::string("bank.bin"), std::string(245, 'n') + ".bin"}) {
        SCOPED_TRACE(name.size());
        const std::string path = dir.file(name);
        WriteFile(path, {1});
        fs::permissions(path, fs::perms(0644));
        std::vector<std::string> seen;
        {
            FolderAtWrite spy(dir.path());
            ASSERT_EQ(SaveProjectAsIs(path, NoisyImage(3)), std::nullopt);
            seen = spy.readableByOthers;
        }
        // Only the old file itself may be readable while the new one is written.
        EXPECT_EQ(seen, std::vector<std::string>{name});
        EXPECT_EQ(ReadFile(path), BytesOf(NoisyImage(3)));
        EXPECT_EQ(fs::status(path).permissions(), fs::perms(0644));
        fs::remove(path);
    }
    EXPECT_TRUE(FilesIn(dir.path()).empty());
}

// Saves bank.bin in `folder` from a child process running as the user
// nobody, with the folder's "spare" as its folder for temporary files (the
// test's own folders are closed to others). True when it saved.
bool SavedAsNobody(const fs::path& folder) {
    const pid_t child = fork();
    if (child == 0) {
        const bool ok = chdir(folder.c_str()) == 0 && setenv("TMPDIR", "spare", 1) == 0 &&
                        setgid(65534) == 0 && setuid(65534) == 0 &&
                        !SaveProjectAsIs("bank.bin", NoisyImage(5));
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(SafeSave, KeepsOwnerGroupModeAndEveryLink) {
    if (geteuid() != 0) GTEST_SKIP() << "giving files to other users takes root";
    struct Case {
        const char* name;
        uid_t owner;
        fs::perms fileMode;
        fs::perms folderMode;
        bool secondName;
        bool asNobody;
    };
    const Case cases[] = {
        {"another user's file saved by root", 12345, fs::perms(0640), fs::perms(0755), false,
         false},
        {"a file with a second name", 0, fs::perms(0604), fs::perms(0755), true, false},
        {"a writable file of root's saved by nobody", 0, fs::perms(0666), fs::perms(0777), false,
         true},
        {"nobody's file in a read-only folder", 65534, fs::perms(0600), fs::perms(0555), false,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path folder = dir.path() / "work";
        fs::create_directories(folder / "spare");
        ASSERT_EQ(chown((folder / "spare").c_str(), 65534, 65534), 0);
        const std::string path = (folder / "bank.bin").string();
        WriteFile(path, BytesOf(NoisyImage(4)));
        std::vector<std::string> names = {"bank.bin", "spare"};
        if (c.secondName) {
            fs::create_hard_link(path, folder / "second.bin");
            names = {"bank.bin", "second.bin", "spare"};
        }
        ASSERT_EQ(chown(path.c_str(), c.owner, c.owner), 0);
        fs::permissions(path, c.fileMode);
        fs::permissions(folder, c.folderMode);

        if (c.asNobody) {
            ASSERT_TRUE(SavedAsNobody(folder));
        } else {
            ASSERT_EQ(SaveProjectAsIs(path, NoisyImage(5)), std::nullopt);
        }
        struct stat info {};
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, c.owner);
        EXPECT_EQ(info.st_gid, c.owner);
        EXPECT_EQ(fs::status(path).permissions(), c.fileMode);
        EXPECT_EQ(ReadFile(path), BytesOf(NoisyImage(5)));
        if (c.secondName) {
            EXPECT_EQ(ReadFile((folder / "second.bin").string()), BytesOf(NoisyImage(5)));
        }
        EXPECT_EQ(FilesIn(folder), names);
        EXPECT_TRUE(FilesIn(folder / "spare").empty());
    }
}

}  // namespace
}  // namespace sonabank
