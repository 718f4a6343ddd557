#include "support/fault_injector.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "image/refusal.h"

namespace sonabank::test {

FaultInjector::FaultInjector(std::optional<FileOp> kind, int n, FaultAction action)
    : kind_(kind), n_(n), action_(action) {
    SetFileFaultHook(this);
}

FaultInjector::~FaultInjector() {
    SetFileFaultHook(nullptr);
}

FaultAction FaultInjector::Before(FileOp op) {
    operations_.push_back(op);
    if (kind_ && op != *kind_) return FaultAction::Proceed;
    if (++seen_ != n_) return FaultAction::Proceed;
    firedOn_ = op;
    return action_;
}

const char* FileOpName(FileOp op) {
    switch (op) {
        case FileOp::Open:
            return "open";
        case FileOp::Create:
            return "create";
        case FileOp::Size:
            return "size";
        case FileOp::Read:
            return "read";
        case FileOp::Write:
            return "write";
        case FileOp::Sync:
            return "sync";
        case FileOp::Rename:
            return "rename";
        case FileOp::Close:
            return "close";
    }
    return "?";
}

std::string FaultMessage(FileOp op, FaultAction action) {
    // The file layer stands for an injected failure with the errno the
    // operation most often meets: EIO, a general device failure (code 31),
    // for most; a full disk for writes; a denied rename.
    constexpr int kDeviceFailure = 31;
    switch (op) {
        case FileOp::Open:
            return RefusalText(Refusal::CannotOpen);
        case FileOp::Create:
            return RefusalText(Refusal::CannotCreate);
        case FileOp::Read:
            return IoErrorText(action == FaultAction::Short ? IO_READ_BEYOND_EOF : kDeviceFailure);
        case FileOp::Write:
            return IoErrorText(IO_DISK_FULL);
        case FileOp::Rename:
            return IoErrorText(IO_ACCESS_DENIED);
        case FileOp::Size:
        case FileOp::Sync:
        case FileOp::Close:
            break;
    }
    return IoErrorText(kDeviceFailure);
}

void WalkFaults(std::optional<FileOp> kind, FaultAction action,
               const std::function<void(const FaultInjector&)>& attempt, int limit) {
    for (int n = 1; n <= limit; ++n) {
        bool fired = false;
        {
            FaultInjector injector(kind, n, action);
            attempt(injector);
            fired = injector.fired();
        }
        if (!fired) {
            // Every command walked goes through the file layer: a walk over
            // every kind of operation that injects nothing means the layer
            // no longer asks the hook, and the walk would check nothing.
            if (n == 1 && !kind) ADD_FAILURE() << "WalkFaults: no fault was injected";
            return;
        }
    }
    throw std::runtime_error("WalkFaults: the command went on past " + std::to_string(limit) +
                             " file operations");
}

std::string DescribeFault(const FaultInjector& fault) {
    if (!fault.fired()) return "no fault reached";
    return std::string(fault.action() == FaultAction::Short ? "short " : "failing ") +
           FileOpName(*fault.firedOn()) + " at operation " +
           std::to_string(fault.operations().size());
}

}  // namespace sonabank::test
