#pragma once

// How the commands reach their files: the image under a lock, and every
// failure as a message that names the file and the cause.

#include <chrono>
#include <optional>
#include <string>

#include "cli/cli_failure.h"
#include "io/byte_stream.h"
#include "io/file_lock.h"
#include "project/project_file.h"

namespace sonabank::cli {

// How long a command waits for another one on the same image before it gives
// up (the help and the manual page say so).
constexpr std::chrono::seconds kLockPatience{30};

// Holds IMAGE alone from before it is read to after it is saved; nothing when
// there is no file yet. Gives up with a refusal after kLockPatience.
std::optional<FileLock> LockForChange(const std::string& path);

// Shares IMAGE with other readers while it is read.
LockOutcome LockForReading(const std::string& path);

// new and build make a fresh image; replacing an existing file takes --force.
void RefuseExistingUnlessForced(const std::string& path, bool force);

// The refusal `refusal` of the file `path`, with the cause of a CannotOpen.
CliFailure RefusedFile(Refusal refusal, const std::string& path,
                       ProjectAccess access = ProjectAccess::Edit);

// Runs `io`; an IoError it throws becomes a failure that names `path`.
template <typename Io>
auto NamingFile(const std::string& path, Io io) {
    try {
        return io();
    } catch (const IoError& error) {
        throw CliFailure(kIoFailure, path + ": " + error.what());
    }
}

}  // namespace sonabank::cli
