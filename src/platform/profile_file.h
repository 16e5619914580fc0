#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A Windows profile (INI) file: "[Section]" header lines and "Key=Value" lines. Sections and
// keys match without regard to letter case; values are trimmed of blanks when read; lines the
// program does not write (comments, unknown keys and sections) are kept as they stand. The file
// is read as UTF-8, falling back to Windows-1252, or as UTF-16LE after its byte order mark, with
// LF or CR LF line ends, and written as UTF-8 with CR LF line ends in one atomic step. Of a key
// given twice in a section, or a section given twice, the first counts, as on Windows. Reading
// never writes.
class ProfileFile {
public:
    // Reads the file. A missing file is an empty profile; a file that exists but cannot be read,
    // or is larger than kMaxBytes, raises std::runtime_error.
    explicit ProfileFile(std::filesystem::path path);

    const std::filesystem::path& path() const { return m_path; }

    bool hasKey(std::string_view section, std::string_view key) const;
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback = {}) const;
    // Decimal, or hexadecimal after "0x"/"0X"; anything else gives the fallback.
    std::int32_t readInteger(std::string_view section, std::string_view key,
                             std::int32_t fallback) const;
    // The entries of a section as "key=value" texts, in file order (what the Windows
    // GetPrivateProfileSection hands back): the key trimmed, the value exactly as it stands,
    // so leading and trailing blanks of list lines survive. Comments and blank lines are left
    // out.
    std::vector<std::string> sectionEntries(std::string_view section) const;

    // Sets a key, adding the section and the key when missing. A line break in any of the three
    // texts would change the file's structure and raises std::invalid_argument.
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    // Removes every section of that name with all its lines.
    void eraseSection(std::string_view section);

    // Writes the whole file atomically (temporary file, fsync, rename); on failure raises
    // std::runtime_error and leaves the old file as it was.
    void save() const;

    // A profile file this large is no project file; reading it would only exhaust memory.
    static constexpr std::uintmax_t kMaxBytes = 64u << 20;

private:
    struct Section {
        bool hasHeader = false;  // false only for the lines before the first section header
        std::string name;        // trimmed, as written
        std::string header;      // the header line as it stands
        std::vector<std::string> lines;
        // Folded key -> index in lines of its first entry.
        std::unordered_map<std::string, std::size_t> keys;
    };

    const Section* findSection(std::string_view name) const;
    Section* findSection(std::string_view name);
    const std::string* findValueLine(std::string_view section, std::string_view key) const;

    std::filesystem::path m_path;
    std::vector<Section> m_sections;
};

// Replaces the file with the given bytes in one atomic step: a temporary file beside it is
// written, flushed to disk and renamed over it; a symbolic link is followed, an existing file's
// permissions are kept; a file the user may not write is refused. On failure raises
// std::runtime_error and the old file is as it was.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);
