#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace {

// A closed standard stream would hand its number to the next file opened,
// and output meant for the terminal would land in the image. A descriptor
// that cannot be written keeps the number taken and makes the output fail.
void KeepStandardStreamsTaken() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1) continue;
        const int placeholder = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (placeholder >= 0 && placeholder != fd) {
            ::dup2(placeholder, fd);
            ::close(placeholder);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    KeepStandardStreamsTaken();
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        return sonabank::cli::RunCli(args, std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "sonabank-cli: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "sonabank-cli: unexpected failure\n");
    }
    return 3;
}
