#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Whole-file helpers for fixtures.
void writeFile(const std::filesystem::path& file, std::string_view bytes);
std::string readFile(const std::filesystem::path& file);

// n bytes from a generator seeded with seed: the same bytes on every run.
std::string randomBytes(std::size_t n, unsigned seed);
// The lines of a text whose every line ends in CR LF, without the line ends.
std::vector<std::string> splitCrLf(std::string_view text);
