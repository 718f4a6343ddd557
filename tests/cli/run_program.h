#pragma once

// Runs a program to its end with its output caught, for end-to-end tests of
// sonabank-cli and of the external tools that judge its files.

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/memory_image.h"
#include "support/temp_dir.h"

namespace sonabank::test {

struct ProgramResult {
    int status = -1;  // exit status; 128 + signal number when killed
    std::string out;
    std::string err;
};

// As `stdoutPath`: the program starts with its standard output closed.
inline const std::string kClosedStdout = "(closed)";

// `program` is a path, or a name looked up on PATH. stdin is /dev/null. stdout
// goes to `stdoutPath` when given (e.g. /dev/full), else it is caught. `env`
// holds NAME=VALUE entries that replace or add to this process's environment.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& stdoutPath = {},
                         const std::vector<std::string>& env = {});

// Starts a program the same way without waiting for it; stdout and stderr go
// to the files named (stdout may be kClosedStdout).
pid_t StartProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& stdoutPath, const std::string& stderrPath,
                   const std::vector<std::string>& env = {});
// ProgramResult::status of a process that waitpid reported.
int ExitStatus(int waitStatus);

// Starts one run of `program` per argument list at once, then waits for all.
std::vector<ProgramResult> RunTogether(const std::string& program,
                                       const std::vector<std::vector<std::string>>& argsList);

// A temporary folder with sonabank-cli at hand.
class CliTest : public ::testing::Test {
  public:
    ProgramResult Cli(const std::vector<std::string>& args,
                      const std::vector<std::string>& env = {}) {
        return RunProgram(SONABANK_CLI, args, {}, env);
    }
    std::vector<ProgramResult> CliTogether(const std::vector<std::vector<std::string>>& argsList) {
        return RunTogether(SONABANK_CLI, argsList);
    }
    std::string File(const std::string& name) const { return dir_.file(name); }
    // A RAW file of `size` bytes counting 0, 1, 2, ... (mod 256).
    std::string Raw(const std::string& name, std::size_t size);
    // A fresh image made by `new`.
    std::string NewImage(const std::string& name = "bank.bin");
    // Lines of `text` without their line ends.
    static std::vector<std::string> Lines(const std::string& text);
    // The first IMAGE_SIZE bytes of a project file.
    static MemoryImage ImageAt(const std::string& path);

    TempDir dir_;
};

}  // namespace sonabank::test
