#pragma once

// sonabank-cli: the command-line front end over the core, for people who
// build sound images in scripts.

#include <ostream>
#include <span>
#include <string>

namespace sonabank::cli {

// Runs the command line (without the program name) and returns the exit
// status: 0 success, 1 refused, 2 wrong usage, 3 input/output error.
int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace sonabank::cli
