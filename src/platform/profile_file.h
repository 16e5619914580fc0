#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// A Windows profile (INI) file: "[Section]" header lines and "Key=Value" lines. Sections and
// keys match without regard to letter case; values are trimmed of blanks when read; lines the
// program does not write (comments, unknown keys and sections) are kept as they stand. The file
// is read as UTF-8, falling back to Windows-1252, and written as UTF-8 in one atomic step.
class ProfileFile {
public:
    // Reads the file. A missing file is an empty profile; a file that exists but cannot be read
    // raises std::runtime_error.
    explicit ProfileFile(std::filesystem::path path);

    const std::filesystem::path& path() const { return m_path; }

    bool hasKey(std::string_view section, std::string_view key) const;
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback = {}) const;
    // Decimal, or hexadecimal after "0x"/"0X"; anything else gives the fallback.
    std::int32_t readInteger(std::string_view section, std::string_view key,
                             std::int32_t fallback) const;
    // The entries of a section as "key=value" texts, in file order (what the Windows
    // GetPrivateProfileSection hands back).
    std::vector<std::string> sectionEntries(std::string_view section) const;

    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void eraseSection(std::string_view section);

    // Writes the whole file atomically (temporary file, fsync, rename); on failure raises
    // std::runtime_error and leaves the old file as it was.
    void save() const;

private:
    std::filesystem::path m_path;
    std::vector<std::string> m_lines;
};
