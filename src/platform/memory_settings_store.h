#pragma once

#include "platform/settings_store.h"

#include <list>
#include <map>
#include <memory>
#include <utility>

// A settings tree kept in memory only. Serves tests, and is the tree the file backend parses
// into and writes out from.
class MemorySettingsStore : public SettingsStore {
public:
    // Key and value names are found through an index without regard to letter case, so a key
    // of many thousands of subkeys or values (an import, a hostile file) costs logarithmic
    // time per name, and removing one costs no more.
    class Key {
    public:
        using Value = std::pair<std::string, RegValue>;

        Key() = default;
        Key(const Key&) = delete;
        Key& operator=(const Key&) = delete;

        std::string name;  // as first written

        // In the order first written.
        const std::list<Value>& values() const { return m_values; }
        const std::list<std::unique_ptr<Key>>& subkeys() const { return m_subkeys; }

        Key* findSubkey(std::string_view n) const;
        Key& subkey(std::string_view n);  // finds or creates
        const RegValue* findValue(std::string_view n) const;
        void setValue(std::string_view n, RegValue v);
        bool eraseValue(std::string_view n);
        bool eraseSubkey(std::string_view n);

    private:
        std::list<Value> m_values;
        std::list<std::unique_ptr<Key>> m_subkeys;
        std::map<std::string, std::list<Value>::iterator, NamesLess> m_valueIndex;
        std::map<std::string, std::list<std::unique_ptr<Key>>::iterator, NamesLess> m_subkeyIndex;
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
    Key& make(std::string_view path);  // finds or creates every key on the path
    std::unique_ptr<Key> m_root;
};

// Splits a "\"-separated key path into its components; empty components are dropped. The
// parts are views into `path`.
std::vector<std::string_view> splitSettingsPath(std::string_view path);
