#pragma once

// Makes one operation of the byte-stream file layer fail or come up short, so
// that a test can walk a failure over every step of a file command.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "io/byte_stream.h"

namespace sonabank::test {

class FaultInjector : public FileFaultHook {
  public:
    // Injects `action` at the n-th operation (counted from 1) of `kind`, or of
    // any kind when `kind` is empty. n = 0 injects nothing and only counts.
    // The injector installs itself and uninstalls itself when destroyed.
    FaultInjector(std::optional<FileOp> kind, int n, FaultAction action);
    ~FaultInjector() override;
    FaultInjector(const FaultInjector&) = delete;
    FaultInjector& operator=(const FaultInjector&) = delete;

    FaultAction Before(FileOp op) override;

    // The operation the fault was injected into; nothing when the command
    // never reached the n-th operation.
    std::optional<FileOp> firedOn() const { return firedOn_; }
    bool fired() const { return firedOn_.has_value(); }
    FaultAction action() const { return action_; }
    // Every operation asked about, in order.
    const std::vector<FileOp>& operations() const { return operations_; }

  private:
    std::optional<FileOp> kind_;
    int n_;
    FaultAction action_;
    int seen_ = 0;
    std::optional<FileOp> firedOn_;
    std::vector<FileOp> operations_;
};

// "open", "create", "size", "read", "write", "sync", "rename", "close".
const char* FileOpName(FileOp op);

// The text the user is shown when a fault injected into `op` ends a command:
// the refusal of an open or create, or the input/output error's text.
std::string FaultMessage(FileOp op, FaultAction action);

// One way of walking a fault over a command: which operations, and how.
struct FaultWalk {
    std::optional<FileOp> kind;  // every kind when empty
    FaultAction action;
};
// Every operation failing in turn; every read, then every write, coming up short.
inline constexpr std::array<FaultWalk, 3> kFaultWalks = {{
    {std::nullopt, FaultAction::Fail},
    {FileOp::Read, FaultAction::Short},
    {FileOp::Write, FaultAction::Short},
}};

// Where the fault went, for test traces: "short read at operation 3".
std::string DescribeFault(const FaultInjector& fault);

// Runs `attempt` once for each n = 1, 2, ... with a fault injected at the n-th
// operation of `kind` (any kind when empty), and once more for the first n
// that the command no longer reaches, so that `attempt` also sees the command
// complete. `attempt` makes its own starting state every time and checks the
// outcome against the injector. Throws when a command does not end within
// `limit` operations; fails the test when `kind` is empty and no fault fired
// at all.
void WalkFaults(std::optional<FileOp> kind, FaultAction action,
               const std::function<void(const FaultInjector&)>& attempt, int limit = 10000);

}  // namespace sonabank::test
