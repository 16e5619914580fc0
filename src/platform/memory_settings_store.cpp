#include "platform/memory_settings_store.h"

#include <algorithm>

std::vector<std::string> splitSettingsPath(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

MemorySettingsStore::Key* MemorySettingsStore::Key::findSubkey(std::string_view n) const {
    for (const auto& k : subkeys)
        if (namesEqual(k->name, n))
            return k.get();
    return nullptr;
}

MemorySettingsStore::Key& MemorySettingsStore::Key::subkey(std::string_view n) {
    if (Key* k = findSubkey(n))
        return *k;
    auto k = std::make_unique<Key>();
    k->name = std::string(n);
    subkeys.push_back(std::move(k));
    return *subkeys.back();
}

const RegValue* MemorySettingsStore::Key::findValue(std::string_view n) const {
    for (const auto& [name, v] : values)
        if (namesEqual(name, n))
            return &v;
    return nullptr;
}

void MemorySettingsStore::Key::setValue(std::string_view n, RegValue v) {
    for (auto& [name, old] : values)
        if (namesEqual(name, n)) {
            old = std::move(v);
            return;
        }
    values.emplace_back(std::string(n), std::move(v));
}

bool MemorySettingsStore::Key::eraseValue(std::string_view n) {
    auto it = std::find_if(values.begin(), values.end(),
                           [&](const auto& p) { return namesEqual(p.first, n); });
    if (it == values.end())
        return false;
    values.erase(it);
    return true;
}

bool MemorySettingsStore::Key::eraseSubkey(std::string_view n) {
    auto it = std::find_if(subkeys.begin(), subkeys.end(),
                           [&](const auto& k) { return namesEqual(k->name, n); });
    if (it == subkeys.end())
        return false;
    subkeys.erase(it);
    return true;
}

std::unique_ptr<MemorySettingsStore::Key> MemorySettingsStore::Key::clone() const {
    auto k = std::make_unique<Key>();
    k->name = name;
    k->values = values;
    for (const auto& s : subkeys)
        k->subkeys.push_back(s->clone());
    return k;
}

MemorySettingsStore::MemorySettingsStore() : m_root(std::make_unique<Key>()) {}
MemorySettingsStore::~MemorySettingsStore() = default;

MemorySettingsStore::Key* MemorySettingsStore::find(std::string_view path) const {
    Key* k = m_root.get();
    for (const auto& part : splitSettingsPath(path)) {
        k = k->findSubkey(part);
        if (!k)
            return nullptr;
    }
    return k;
}

bool MemorySettingsStore::keyExists(std::string_view path) {
    return find(path) != nullptr;
}

void MemorySettingsStore::createKey(std::string_view path) {
    Key* k = m_root.get();
    for (const auto& part : splitSettingsPath(path))
        k = &k->subkey(part);
}

std::vector<std::string> MemorySettingsStore::subkeyNames(std::string_view path) {
    std::vector<std::string> names;
    if (Key* k = find(path))
        for (const auto& s : k->subkeys)
            names.push_back(s->name);
    return names;
}

std::vector<std::string> MemorySettingsStore::valueNames(std::string_view path) {
    std::vector<std::string> names;
    if (Key* k = find(path))
        for (const auto& v : k->values)
            names.push_back(v.first);
    return names;
}

std::optional<RegValue> MemorySettingsStore::value(std::string_view path, std::string_view name) {
    Key* k = find(path);
    if (!k)
        return std::nullopt;
    const RegValue* v = k->findValue(name);
    if (!v)
        return std::nullopt;
    return *v;
}

void MemorySettingsStore::setValue(std::string_view path, std::string_view name, RegValue v) {
    Key* k = m_root.get();
    for (const auto& part : splitSettingsPath(path))
        k = &k->subkey(part);
    k->setValue(name, std::move(v));
}

void MemorySettingsStore::deleteValue(std::string_view path, std::string_view name) {
    if (Key* k = find(path))
        k->eraseValue(name);
}

void MemorySettingsStore::deleteKeyTree(std::string_view path) {
    auto parts = splitSettingsPath(path);
    if (parts.empty()) {
        m_root = std::make_unique<Key>();
        return;
    }
    std::string leaf = parts.back();
    parts.pop_back();
    Key* k = m_root.get();
    for (const auto& part : parts) {
        k = k->findSubkey(part);
        if (!k)
            return;
    }
    k->eraseSubkey(leaf);
}
