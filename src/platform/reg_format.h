#pragma once

#include "platform/memory_settings_store.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The text format of a registry export (".reg"), as regedit writes it and as the settings file
// keeps the program's tree. One parser and one writer serve both the settings file and the
// import of a Windows export.

// The full registry path of the program's key, as it stands in ".reg" key headers.
inline constexpr std::string_view kRegistryRoot =
    "HKEY_CURRENT_USER\\Software\\Pellido Software\\Kavrin/32";

// The registry's own limit; it also keeps hostile files from nesting keys deep enough to
// exhaust the stack of the recursive tree code.
inline constexpr std::size_t kMaxKeyDepth = 512;

// No settings file comes near this; a bigger file is junk, not settings.
inline constexpr std::size_t kMaxRegFileBytes = std::size_t(256) << 20;

enum class RegDialect {
    Regedit4,  // "REGEDIT4": 8-bit text, expand strings as 8-bit bytes
    Regedit5,  // "Windows Registry Editor Version 5.00": UTF-16LE (or UTF-8), strings in UTF-16LE
};

struct RegEntry {
    enum class Kind { Key, DeleteKey, SetValue, DeleteValue };
    Kind kind = Kind::Key;
    std::size_t line = 0;  // where the entry starts, counted from 1
    // Key and DeleteKey: the full path as written between the brackets.
    std::string key;
    // SetValue and DeleteValue, which belong to the latest Key entry: "" is the default value.
    std::string name;
    RegValue value;
};

struct RegDocument {
    RegDialect dialect = RegDialect::Regedit5;
    std::vector<RegEntry> entries;
};

class RegParseError : public std::runtime_error {
public:
    RegParseError(std::size_t line, const std::string& what)
        : std::runtime_error(what), m_line(line) {}
    std::size_t line() const { return m_line; }

private:
    std::size_t m_line;
};

// Parses the bytes of a ".reg" file: UTF-16LE with a byte order mark, or 8-bit text (UTF-8,
// falling back to Windows-1252), LF or CR LF line ends. Raises RegParseError with the line of
// the first thing it cannot understand.
RegDocument parseRegFile(std::string_view bytes);

// The path of a full registry key relative to kRegistryRoot ("" for the root itself), or
// nothing when the key lies outside the program's tree. Letter case is not significant.
std::optional<std::string> relativeToRoot(std::string_view fullKey);

// Builds the program's tree from a document whose keys all lie inside it; a key outside it
// raises RegParseError. Repeated key headers and values merge, the later value winning.
std::unique_ptr<MemorySettingsStore::Key> buildTree(const RegDocument& doc);

// Writes the tree in the "Windows Registry Editor Version 5.00" form, UTF-8 without a byte
// order mark, LF line ends, every key under kRegistryRoot.
std::string writeRegFile(const MemorySettingsStore::Key& root);

// Text as the tree keeps it: valid UTF-8. Bytes that are not are taken as Windows-1252.
std::string toUtf8Text(std::string_view bytes);

struct RegImportResult {
    // Keys of the export that lie outside the program's tree; when any, nothing was changed.
    std::vector<std::string> refusedKeys;
    std::size_t keys = 0;
    std::size_t values = 0;
    std::size_t deletedKeys = 0;
    std::size_t deletedValues = 0;
};

// Merges an export into the store in one update (one write of the store, or none). Raises
// SettingsError when the store cannot be written; the store is then unchanged.
RegImportResult importRegDocument(const RegDocument& doc, SettingsStore& store);
