#pragma once

// The seed inputs of the project fuzz target: a fresh image, fragments of
// every format, and hostile directories, each with a script that runs every
// command on it.

#include <cstdint>
#include <string>
#include <vector>

namespace sonabank::fuzz {

struct Seed {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

std::vector<Seed> SeedInputs();

}  // namespace sonabank::fuzz
