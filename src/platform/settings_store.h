#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The per-user settings tree, with the typed operations and failure rules of the Windows
// registry the program was first written for. Key paths are relative to the program's own
// key "Software\Pellido Software\Kavrin/32", components separated by "\": "" is that key,
// "Projects\Last" a project. Key and value names match without regard to letter case and keep
// the case they were first written with.

enum class RegType : std::uint32_t {
    None = 0,
    String = 1,        // REG_SZ
    ExpandString = 2,  // REG_EXPAND_SZ
    Binary = 3,        // REG_BINARY
    DWord = 4,         // REG_DWORD
    MultiString = 7,   // REG_MULTI_SZ, kept as raw bytes
};

struct RegValue {
    RegType type = RegType::None;
    // String and ExpandString: UTF-8 text. DWord: 4 bytes, little-endian. Others: raw bytes.
    std::string data;

    static RegValue string(std::string text) { return {RegType::String, std::move(text)}; }
    static RegValue dword(std::uint32_t v);
    static RegValue binary(std::string bytes) { return {RegType::Binary, std::move(bytes)}; }
    friend bool operator==(const RegValue&, const RegValue&) = default;
};

// Raised by the typed reads and by writes that cannot land. Callers in the model catch it
// and show their own fixed message.
class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // --- raw operations, implemented by the backends -------------------------------------
    virtual bool keyExists(std::string_view path) = 0;
    // Creates the key and any missing parents.
    virtual void createKey(std::string_view path) = 0;
    // Names of the direct subkeys, in the case first written; empty when the key is missing.
    virtual std::vector<std::string> subkeyNames(std::string_view path) = 0;
    // Value names of a key in the order they were first written; empty when the key is missing.
    virtual std::vector<std::string> valueNames(std::string_view path) = 0;
    virtual std::optional<RegValue> value(std::string_view path, std::string_view name) = 0;
    // Creates the key when missing; replaces a value of the same name whatever its type.
    virtual void setValue(std::string_view path, std::string_view name, RegValue v) = 0;
    virtual void deleteValue(std::string_view path, std::string_view name) = 0;
    // Deletes the key with everything under it; a missing key is no error.
    virtual void deleteKeyTree(std::string_view path) = 0;

    // Writes made between beginUpdate and the matching endUpdate land together, in one write
    // of the backing file. Calls nest; only the outermost endUpdate writes. endUpdate raises
    // SettingsError when the write fails.
    virtual void beginUpdate() {}
    virtual void endUpdate() {}

    // --- typed operations with registry semantics ----------------------------------------
    // Missing: empty text. Of another type than String/ExpandString: SettingsError.
    std::string readString(std::string_view path, std::string_view name);
    // Missing or of another type than a 4-byte DWord: SettingsError.
    std::int32_t readInteger(std::string_view path, std::string_view name);
    // Missing: std::nullopt, the caller's field keeps its value. Of another type, or longer
    // than maxBytes: SettingsError.
    std::optional<std::string> readBinary(std::string_view path, std::string_view name,
                                          std::size_t maxBytes);
    void writeString(std::string_view path, std::string_view name, std::string_view text);
    void writeInteger(std::string_view path, std::string_view name, std::int32_t v);
    void writeBinary(std::string_view path, std::string_view name, std::string_view bytes);
};

// Groups the writes of one scope into one write of the store (see beginUpdate).
class SettingsUpdate {
public:
    explicit SettingsUpdate(SettingsStore& store) : m_store(store) { m_store.beginUpdate(); }
    // Ends the update; a failure to write raises SettingsError here.
    void commit();
    ~SettingsUpdate();
    SettingsUpdate(const SettingsUpdate&) = delete;
    SettingsUpdate& operator=(const SettingsUpdate&) = delete;

private:
    SettingsStore& m_store;
    bool m_done = false;
};

// Joins path components with "\".
std::string settingsPath(std::string_view a, std::string_view b);

// Case-insensitive (ASCII) comparison used for key and value names.
bool namesEqual(std::string_view a, std::string_view b);

// The order of names in which namesEqual names are equivalent, for ordered containers.
struct NamesLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};
