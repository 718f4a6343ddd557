// Runs one command and prints what it cost as a whole process: wall time and
// CPU time (user + system) in milliseconds and its peak resident set in KiB,
// on one line. GNU time reports in hundredths of a second, too coarse for the
// short commands scripts/bench compares.
//   sonabank_process_cost COMMAND [ARGS...]
// The command's exit status is passed on; its output goes where ours does.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

double Milliseconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
}

double Milliseconds(const timespec& t) {
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: sonabank_process_cost COMMAND [ARGS...]\n", stderr);
        return 2;
    }
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = fork();
    if (child < 0) {
        std::perror("sonabank_process_cost: fork");
        return 2;
    }
    if (child == 0) {
        execvp(argv[1], argv + 1);
        std::perror(argv[1]);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) {
        std::perror("sonabank_process_cost: wait4");
        return 2;
    }
    timespec end{};
    clock_gettime(CLOCK_MONOTONIC, &end);
    // Printed to stderr, so the measured command's stdout stays its own.
    std::fprintf(stderr, "process-cost %.3f %.3f %ld\n", Milliseconds(end) - Milliseconds(start),
                 Milliseconds(usage.ru_utime) + Milliseconds(usage.ru_stime), usage.ru_maxrss);
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return 128 + WTERMSIG(status);
}
