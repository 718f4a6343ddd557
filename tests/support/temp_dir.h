#pragma once

// Test helpers shared by every test: a temporary folder that cleans up after
// itself and whole-file reads and writes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sonabank::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Path of `name` inside the folder, as a string.
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadFile(const std::string& path);
// Removes every write permission bit, as "read-only" is judged by the program.
void MakeReadOnly(const std::string& path);

}  // namespace sonabank::test
