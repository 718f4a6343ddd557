#pragma once

// The commands of sonabank-cli as one table: adding a command means adding
// its handler and one row.

#include <cstddef>
#include <ostream>
#include <span>
#include <string_view>

#include "cli/arguments.h"

namespace sonabank::cli {

struct CommandContext {
    const Arguments& args;
    std::ostream& out;
    std::ostream& err;  // warnings of a command that still succeeds
};

struct Command {
    std::string_view name;
    std::string_view synopsis;  // the arguments after the name, as the help shows them
    std::string_view summary;
    std::size_t minPositional;
    std::size_t maxPositional;
    unsigned options;  // the Option bits the command takes
    // Returns the exit status; refusals and wrong usage are thrown as CliFailure.
    int (*run)(const CommandContext& context);
};

std::span<const Command> Commands();

}  // namespace sonabank::cli
