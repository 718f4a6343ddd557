#include "io/byte_stream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "support/temp_dir.h"

namespace sonabank {
namespace {

using test::MakeReadOnly;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

const std::vector<std::uint8_t> kBytes = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

TEST(IoErrorText, FollowsTheTableAndTheFullStopRule) {
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {
        {2, "File not found."},
        {3, "Invalid filename."},
        {4, "Too many open files."},
        {5, "File access denied."},
        {100, "Read beyond end of file."},
        {101, "Disk full."},
        {106, "Invalid numeric input."},
        {42, "I/O error 42."},
        {0, "I/O error 0."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IoErrorText(c.code), c.text);
        const IoError error(c.code);
        EXPECT_EQ(error.code(), c.code);
        EXPECT_STREQ(error.what(), c.text);
    }
}

TEST(IoCodeFromErrno, AnErrnoOutsideTheTableReadsAsNoListedError) {
    struct Case {
        int error;
        const char* text;
    };
    const Case cases[] = {
        {ENOTDIR, "File not found."},
        {ENOSPC, "Disk full."},
        {EIO, "I/O error 31."},
        {ENETDOWN, "I/O error 1100."},
        {ENETUNREACH, "I/O error 1101."},
        {EXDEV, "I/O error 1018."},
    };
    for (const Case& c : cases) EXPECT_EQ(IoErrorText(IoCodeFromErrno(c.error)), c.text) << c.error;
}

TEST(ByteStream, ReadOnlyFilesAreNeitherOpenedNorReplaced) {
    TempDir dir;
    const std::string path = dir.file("locked.bin");
    WriteFile(path, kBytes);
    EXPECT_FALSE(IsReadOnlyFile(path));
    MakeReadOnly(path);
    // Root could open it; the program must not, whoever runs it.
    EXPECT_TRUE(IsReadOnlyFile(path));
    EXPECT_FALSE(ByteStream::OpenExisting(path).has_value());
    EXPECT_FALSE(ByteStream::Create(path).has_value());
    EXPECT_EQ(ReadFile(path), kBytes);

    // One write bit for anybody is enough.
    ::chmod(path.c_str(), S_IRUSR | S_IWOTH);
    EXPECT_FALSE(IsReadOnlyFile(path));
    EXPECT_TRUE(ByteStream::OpenExisting(path).has_value());
}

TEST(ByteStream, OpeningRefusals) {
    TempDir dir;
    EXPECT_FALSE(IsReadOnlyFile(dir.file("missing")));
    EXPECT_FALSE(ByteStream::OpenExisting(dir.file("missing")).has_value());
    EXPECT_FALSE(ByteStream::OpenExisting(dir.path().string()).has_value());  // a folder
    EXPECT_FALSE(ByteStream::Create(dir.file("no-such-folder/new.bin")).has_value());
    EXPECT_FALSE(ByteStream::Create(dir.path().string()).has_value());
}

TEST(ByteStream, WriteThenReadBack) {
    TempDir dir;
    const std::string path = dir.file("data.bin");
    WriteFile(path, std::vector<std::uint8_t>(100, 0xAA));  // Create replaces it
    {
        auto out = ByteStream::Create(path);
        ASSERT_TRUE(out.has_value());
        out->WriteAll(kBytes);
        out->Sync();
        EXPECT_EQ(out->Size(), kBytes.size());
        out->Close();
        out->Close();  // a second close does nothing
    }
    EXPECT_EQ(ReadFile(path), kBytes);

    auto in = ByteStream::OpenExisting(path);
    ASSERT_TRUE(in.has_value());
    EXPECT_EQ(in->Size(), 10u);
    std::vector<std::uint8_t> buffer(4);
    in->ReadExact(buffer);
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    in->Seek(8);
    std::vector<std::uint8_t> rest(5, 0);
    EXPECT_EQ(in->ReadSome(rest), 2u);
    EXPECT_EQ(rest[0], 9);
    EXPECT_EQ(rest[1], 10);
    EXPECT_EQ(in->ReadSome(rest), 0u);

    in->Seek(0);
    in->WriteAll(std::vector<std::uint8_t>{7});  // opened for writing too
    ByteStream moved = std::move(*in);
    moved.Close();
    EXPECT_EQ(ReadFile(path)[0], 7);
}

TEST(ByteStream, ShortReadIsReadBeyondEndOfFile) {
    TempDir dir;
    const std::string path = dir.file("short.bin");
    WriteFile(path, kBytes);
    auto in = ByteStream::OpenExisting(path);
    ASSERT_TRUE(in.has_value());
    std::vector<std::uint8_t> buffer(11);
    try {
        in->ReadExact(buffer);
        FAIL() << "read past the end";
    } catch (const IoError& error) {
        EXPECT_EQ(error.code(), IO_READ_BEYOND_EOF);
        EXPECT_STREQ(error.what(), "Read beyond end of file.");
    }
}

TEST(ByteStream, FullDiskIsDiskFull) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    auto out = ByteStream::OpenExisting("/dev/full");
    ASSERT_TRUE(out.has_value());
    try {
        out->WriteAll(kBytes);
        FAIL() << "wrote to a full device";
    } catch (const IoError& error) {
        EXPECT_EQ(error.code(), IO_DISK_FULL);
        EXPECT_STREQ(error.what(), "Disk full.");
    }
}

TEST(ByteStream, Replace) {
    TempDir dir;
    WriteFile(dir.file("new"), kBytes);
    WriteFile(dir.file("old"), {0});
    ReplaceFile(dir.file("new"), dir.file("old"));
    EXPECT_EQ(ReadFile(dir.file("old")), kBytes);
    EXPECT_FALSE(std::filesystem::exists(dir.file("new")));
    try {
        ReplaceFile(dir.file("new"), dir.file("old"));
        FAIL() << "renamed a missing file";
    } catch (const IoError& error) {
        EXPECT_EQ(error.code(), IO_FILE_NOT_FOUND);
    }
}

// Fails or shortens one chosen kind of operation.
class OneFault : public FileFaultHook {
  public:
    OneFault(FileOp op, FaultAction action) : op_(op), action_(action) {}
    FaultAction Before(FileOp op) override { return op == op_ ? action_ : FaultAction::Proceed; }

  private:
    FileOp op_;
    FaultAction action_;
};

class ByteStreamFaults : public ::testing::Test {
  protected:
    void TearDown() override { SetFileFaultHook(nullptr); }
    TempDir dir_;
};

TEST_F(ByteStreamFaults, InjectedFailuresLookLikeRealOnes) {
    const std::string path = dir_.file("data.bin");
    WriteFile(path, kBytes);
    std::vector<std::uint8_t> buffer(4);
    struct Case {
        const char* name;
        FileOp op;
        int code;  // 0: the open is refused
    };
    const Case cases[] = {
        {"open", FileOp::Open, 0},
        {"create", FileOp::Create, 0},
        {"size", FileOp::Size, 31},
        {"read", FileOp::Read, 31},
        {"write", FileOp::Write, IO_DISK_FULL},
        {"sync", FileOp::Sync, 31},
        {"close", FileOp::Close, 31},
        {"rename", FileOp::Rename, IO_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        OneFault fault(c.op, FaultAction::Fail);
        SetFileFaultHook(&fault);
        if (c.code == 0) {
            EXPECT_FALSE(c.op == FileOp::Open ? ByteStream::OpenExisting(path).has_value()
                                              : ByteStream::Create(path).has_value())
                << c.name;
            continue;
        }
        try {
            auto stream = ByteStream::OpenExisting(path);
            ASSERT_TRUE(stream.has_value()) << c.name;
            stream->Size();
            stream->ReadExact(buffer);
            stream->WriteAll(buffer);
            stream->Sync();
            stream->Close();
            ReplaceFile(path, path);
            ADD_FAILURE() << c.name << " did not fail";
        } catch (const IoError& error) {
            EXPECT_EQ(error.code(), c.code) << c.name;
        }
    }
    SetFileFaultHook(nullptr);
    EXPECT_EQ(ReadFile(path).size(), kBytes.size());
}

TEST_F(ByteStreamFaults, ShortTransfersTakeTheNormalErrorPath) {
    const std::string path = dir_.file("data.bin");
    WriteFile(path, kBytes);

    OneFault shortRead(FileOp::Read, FaultAction::Short);
    SetFileFaultHook(&shortRead);
    auto in = ByteStream::OpenExisting(path);
    ASSERT_TRUE(in.has_value());
    std::vector<std::uint8_t> buffer(10);
    EXPECT_EQ(in->ReadSome(buffer), 5u);
    in->Seek(0);
    try {
        in->ReadExact(buffer);
        FAIL() << "short read passed";
    } catch (const IoError& error) {
        EXPECT_EQ(error.code(), IO_READ_BEYOND_EOF);
    }
    in->Close();

    OneFault shortWrite(FileOp::Write, FaultAction::Short);
    SetFileFaultHook(&shortWrite);
    auto out = ByteStream::Create(path);
    ASSERT_TRUE(out.has_value());
    try {
        out->WriteAll(kBytes);
        FAIL() << "short write passed";
    } catch (const IoError& error) {
        EXPECT_EQ(error.code(), IO_DISK_FULL);
    }
    out->Close();
    EXPECT_EQ(ReadFile(path).size(), 5u);
}

}  // namespace
}  // namespace sonabank
