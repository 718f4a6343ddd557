#include "cli/run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace sonabank::test {

namespace {

// The environment as posix_spawn takes it: this process's, with `changes`
// (NAME=VALUE) replacing the entries of the same name.
std::vector<std::string> Environment(const std::vector<std::string>& changes) {
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) {
        const std::string name = nameOf(*entry);
        if (std::none_of(changes.begin(), changes.end(),
                         [&](const std::string& c) { return nameOf(c) == name; })) {
            env.emplace_back(*entry);
        }
    }
    env.insert(env.end(), changes.begin(), changes.end());
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Waits for a program StartProgram started; its stdout is read from
// `outPath` unless that is empty.
ProgramResult Finish(pid_t pid, const std::string& outPath, const std::string& errPath) {
    int wstatus = 0;
    if (waitpid(pid, &wstatus, 0) != pid) throw std::runtime_error("lost a program");
    ProgramResult result;
    result.status = ExitStatus(wstatus);
    const auto out = outPath.empty() ? std::vector<std::uint8_t>() : ReadFile(outPath);
    const auto err = ReadFile(errPath);
    result.out.assign(out.begin(), out.end());
    result.err.assign(err.begin(), err.end());
    return result;
}

}  // namespace

pid_t StartProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& stdoutPath, const std::string& stderrPath,
                   const std::vector<std::string>& env) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (stdoutPath == kClosedStdout) {
        posix_spawn_file_actions_addclose(&actions, 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, stdoutPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<std::string> argStrings = {program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<std::string> envStrings = Environment(env);
    const std::vector<char*> argv = Pointers(argStrings);
    const std::vector<char*> envp = Pointers(envStrings);

    pid_t pid = 0;
    const int spawned =
        posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + program);
    return pid;
}

int ExitStatus(int waitStatus) {
    return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& stdoutPath, const std::vector<std::string>& env) {
    TempDir scratch;
    const std::string outPath = stdoutPath.empty() ? scratch.file("stdout") : stdoutPath;
    const std::string errPath = scratch.file("stderr");
    const pid_t pid = StartProgram(program, args, outPath, errPath, env);
    return Finish(pid, stdoutPath.empty() ? outPath : std::string(), errPath);
}

std::vector<ProgramResult> RunTogether(const std::string& program,
                                       const std::vector<std::vector<std::string>>& argsList) {
    TempDir scratch;
    const auto out = [&](std::size_t i) { return scratch.file(std::to_string(i) + ".out"); };
    const auto err = [&](std::size_t i) { return scratch.file(std::to_string(i) + ".err"); };
    std::vector<pid_t> pids;
    for (std::size_t i = 0; i < argsList.size(); ++i) {
        pids.push_back(StartProgram(program, argsList[i], out(i), err(i)));
    }
    std::vector<ProgramResult> results;
    for (std::size_t i = 0; i < pids.size(); ++i)
        results.push_back(Finish(pids[i], out(i), err(i)));
    return results;
}

std::string CliTest::Raw(const std::string& name, std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i);
    WriteFile(File(name), bytes);
    return File(name);
}

std::string CliTest::NewImage(const std::string& name) {
    const std::string path = File(name);
    const ProgramResult made = Cli({"new", path});
    if (made.status != 0) throw std::runtime_error("new failed: " + made.err);
    return path;
}

std::vector<std::string> CliTest::Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

MemoryImage CliTest::ImageAt(const std::string& path) {
    const auto bytes = ReadFile(path);
    if (bytes.size() < IMAGE_SIZE) throw std::runtime_error("short image " + path);
    MemoryImage image;
    std::copy_n(bytes.begin(), IMAGE_SIZE, image.data());
    return image;
}

}  // namespace sonabank::test
