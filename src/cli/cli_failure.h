#pragma once

// How a command ends when it does not succeed: the exit status and the line
// printed to stderr.

#include <stdexcept>
#include <string>
#include <string_view>

#include "image/refusal.h"

namespace sonabank::cli {

enum ExitStatus { kSuccess = 0, kRefused = 1, kWrongUsage = 2, kIoFailure = 3 };

class CliFailure : public std::runtime_error {
  public:
    CliFailure(ExitStatus status, const std::string& message)
        : std::runtime_error(message), status_(status) {}
    ExitStatus status() const { return status_; }

  private:
    ExitStatus status_;
};

inline CliFailure UsageError(const std::string& message) {
    return CliFailure(kWrongUsage, message);
}

// The program's own refusal text, after the file or manifest line it concerns.
inline CliFailure Refused(Refusal refusal, std::string_view where = {}) {
    std::string message = where.empty() ? std::string() : std::string(where) + ": ";
    return CliFailure(kRefused, message + RefusalText(refusal));
}

}  // namespace sonabank::cli
