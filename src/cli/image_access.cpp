#include "cli/image_access.h"

#include <filesystem>
#include <system_error>

namespace sonabank::cli {

namespace {

LockOutcome Lock(const std::string& path, LockKind kind) {
    auto outcome = LockFile(path, kind, kLockPatience);
    if (outcome.timedOut) {
        throw CliFailure(kRefused, path + ": another command keeps the image busy; gave up after " +
                                       std::to_string(kLockPatience.count()) + " seconds");
    }
    return outcome;
}

}  // namespace

std::optional<FileLock> LockForChange(const std::string& path) {
    return std::move(Lock(path, LockKind::Exclusive).lock);
}

LockOutcome LockForReading(const std::string& path) {
    return Lock(path, LockKind::Shared);
}

CliFailure RefusedFile(Refusal refusal, const std::string& path, ProjectAccess access) {
    if (refusal != Refusal::CannotOpen) return Refused(refusal, path);
    return CliFailure(
        kRefused, path + ": " + RefusalText(refusal) + " (" + CannotOpenCause(path, access) + ")");
}

void RefuseExistingUnlessForced(const std::string& path, bool force) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    const auto status = fs::symlink_status(path, ignored);
    if (force || !fs::exists(status)) return;
    if (fs::is_symlink(status) && !fs::exists(fs::status(path, ignored))) {
        throw CliFailure(kRefused,
                         path + ": a symbolic link to a missing file; --force replaces the link");
    }
    throw CliFailure(kRefused, path + ": the file exists; --force replaces it");
}

}  // namespace sonabank::cli
