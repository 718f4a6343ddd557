#include "io/file_lock.h"

#include <gtest/gtest.h>

#include <future>
#include <string>

#include "project/project_file.h"
#include "support/temp_dir.h"

namespace sonabank {
namespace {

using namespace std::chrono_literals;
using test::TempDir;
using test::WriteFile;

// Whether a lock of `kind` can be had within a short wait.
bool Free(const std::string& path, LockKind kind) {
    const LockOutcome outcome = LockFile(path, kind, 20ms);
    EXPECT_NE(outcome.lock.has_value(), outcome.timedOut);
    return outcome.lock.has_value();
}

TEST(FileLock, ReadersShareAndAWriterWaitsForEveryone) {
    TempDir dir;
    const std::string path = dir.file("bank.bin");
    WriteFile(path, {1});
    {
        const LockOutcome writer = LockFile(path, LockKind::Exclusive, 0ms);
        ASSERT_TRUE(writer.lock);
        EXPECT_FALSE(Free(path, LockKind::Shared));
        EXPECT_FALSE(Free(path, LockKind::Exclusive));
    }
    {
        const LockOutcome reader = LockFile(path, LockKind::Shared, 0ms);
        ASSERT_TRUE(reader.lock);
        EXPECT_TRUE(Free(path, LockKind::Shared));
        EXPECT_FALSE(Free(path, LockKind::Exclusive));
    }
    EXPECT_TRUE(Free(path, LockKind::Exclusive));
    // No file, no lock and no waiting: opening it tells the user why.
    const LockOutcome missing = LockFile(dir.file("missing.bin"), LockKind::Exclusive, 0ms);
    EXPECT_FALSE(missing.lock);
    EXPECT_FALSE(missing.timedOut);
}

// A waiter that wins the lock of a file a save has just replaced must hold
// the new file, or the next command would not wait for it.
TEST(FileLock, AWaiterEndsUpHoldingTheSavedFile) {
    TempDir dir;
    const std::string path = dir.file("bank.bin");
    MemoryImage image;
    InitImage(image);
    ASSERT_EQ(SaveProjectAsIs(path, image), std::nullopt);
    std::optional<LockOutcome> first = LockFile(path, LockKind::Exclusive, 0ms);
    ASSERT_TRUE(first->lock);

    auto waiter =
        std::async(std::launch::async, [&] { return LockFile(path, LockKind::Exclusive, 10s); });
    ASSERT_EQ(waiter.wait_for(50ms), std::future_status::timeout);
    ASSERT_EQ(SaveProjectAsIs(path, image), std::nullopt);
    first.reset();
    const LockOutcome second = waiter.get();
    ASSERT_TRUE(second.lock);
    EXPECT_FALSE(Free(path, LockKind::Exclusive));
}

}  // namespace
}  // namespace sonabank
