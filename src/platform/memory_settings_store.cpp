#include "platform/memory_settings_store.h"

#include <algorithm>

namespace {

// The next component of a "\"-separated key path, taken off the front of `rest` (empty
// components skipped); empty when none is left. Lookups walk their path with it, so a read
// allocates nothing.
std::string_view takeSettingsPathPart(std::string_view& rest) {
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find('\\'), rest.size());
        const std::string_view part = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (!part.empty())
            return part;
    }
    return {};
}

}  // namespace

std::vector<std::string_view> splitSettingsPath(std::string_view path) {
    std::vector<std::string_view> parts;
    for (std::string_view part; !(part = takeSettingsPathPart(path)).empty();)
        parts.push_back(part);
    return parts;
}

MemorySettingsStore::Key* MemorySettingsStore::Key::findSubkey(std::string_view n) const {
    auto it = m_subkeyIndex.find(n);
    return it == m_subkeyIndex.end() ? nullptr : it->second->get();
}

MemorySettingsStore::Key& MemorySettingsStore::Key::subkey(std::string_view n) {
    if (Key* k = findSubkey(n))
        return *k;
    auto k = std::make_unique<Key>();
    k->name = std::string(n);
    m_subkeys.push_back(std::move(k));
    m_subkeyIndex.emplace(std::string(n), std::prev(m_subkeys.end()));
    return *m_subkeys.back();
}

const RegValue* MemorySettingsStore::Key::findValue(std::string_view n) const {
    auto it = m_valueIndex.find(n);
    return it == m_valueIndex.end() ? nullptr : &it->second->second;
}

void MemorySettingsStore::Key::setValue(std::string_view n, RegValue v) {
    auto it = m_valueIndex.find(n);
    if (it != m_valueIndex.end()) {
        it->second->second = std::move(v);
        return;
    }
    m_values.emplace_back(std::string(n), std::move(v));
    m_valueIndex.emplace(std::string(n), std::prev(m_values.end()));
}

bool MemorySettingsStore::Key::eraseValue(std::string_view n) {
    auto it = m_valueIndex.find(n);
    if (it == m_valueIndex.end())
        return false;
    m_values.erase(it->second);
    m_valueIndex.erase(it);
    return true;
}

bool MemorySettingsStore::Key::eraseSubkey(std::string_view n) {
    auto it = m_subkeyIndex.find(n);
    if (it == m_subkeyIndex.end())
        return false;
    m_subkeys.erase(it->second);
    m_subkeyIndex.erase(it);
    return true;
}

MemorySettingsStore::MemorySettingsStore() : m_root(std::make_unique<Key>()) {}
MemorySettingsStore::~MemorySettingsStore() = default;

MemorySettingsStore::Key* MemorySettingsStore::find(std::string_view path) const {
    Key* k = m_root.get();
    for (std::string_view part; k && !(part = takeSettingsPathPart(path)).empty();)
        k = k->findSubkey(part);
    return k;
}

bool MemorySettingsStore::keyExists(std::string_view path) {
    return find(path) != nullptr;
}

MemorySettingsStore::Key& MemorySettingsStore::make(std::string_view path) {
    Key* k = m_root.get();
    for (std::string_view part; !(part = takeSettingsPathPart(path)).empty();)
        k = &k->subkey(part);
    return *k;
}

void MemorySettingsStore::createKey(std::string_view path) {
    make(path);
}

std::vector<std::string> MemorySettingsStore::subkeyNames(std::string_view path) {
    std::vector<std::string> names;
    if (Key* k = find(path))
        for (const auto& s : k->subkeys())
            names.push_back(s->name);
    return names;
}

std::vector<std::string> MemorySettingsStore::valueNames(std::string_view path) {
    std::vector<std::string> names;
    if (Key* k = find(path))
        for (const auto& v : k->values())
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
    make(path).setValue(name, std::move(v));
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
    const std::string_view leaf = parts.back();
    parts.pop_back();
    Key* k = m_root.get();
    for (const auto& part : parts) {
        k = k->findSubkey(part);
        if (!k)
            return;
    }
    k->eraseSubkey(leaf);
}
