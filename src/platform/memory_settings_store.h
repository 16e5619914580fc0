#pragma once

#include "platform/settings_store.h"

#include <map>
#include <memory>

// A settings tree kept in memory only. Serves tests, and is the tree the file backend parses
// into and writes out from.
class MemorySettingsStore : public SettingsStore {
public:
    struct Key {
        std::string name;  // as first written
        std::vector<std::pair<std::string, RegValue>> values;
        std::vector<std::unique_ptr<Key>> subkeys;

        Key* findSubkey(std::string_view n) const;
        Key& subkey(std::string_view n);  // finds or creates
        const RegValue* findValue(std::string_view n) const;
        void setValue(std::string_view n, RegValue v);
        bool eraseValue(std::string_view n);
        bool eraseSubkey(std::string_view n);
        std::unique_ptr<Key> clone() const;
    };

    MemorySettingsStore();
    ~MemorySettingsStore() override;

    bool keyExists(std::string_view path) override;
    void createKey(std::string_view path) override;
    std::vector<std::string> subkeyNames(std::string_view path) override;
    std::vector<std::string> valueNames(std::string_view path) override;
    std::optional<RegValue> value(std::string_view path, std::string_view name) override;
    void setValue(std::string_view path, std::string_view name, RegValue v) override;
    void deleteValue(std::string_view path, std::string_view name) override;
    void deleteKeyTree(std::string_view path) override;

    // The program's key (path "").
    Key& root() { return *m_root; }
    const Key& root() const { return *m_root; }
    void replaceRoot(std::unique_ptr<Key> root) { m_root = std::move(root); }

private:
    Key* find(std::string_view path) const;
    std::unique_ptr<Key> m_root;
};

// Splits a "\"-separated key path into its components; empty components are dropped.
std::vector<std::string> splitSettingsPath(std::string_view path);
