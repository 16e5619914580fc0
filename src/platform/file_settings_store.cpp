#include "platform/file_settings_store.h"

// Placeholder: keeps the tree in memory until the file backend lands.
struct FileSettingsStore::Impl {
    MemorySettingsStore tree;
};

FileSettingsStore::FileSettingsStore(std::filesystem::path file, UserPrompts*)
    : m_file(std::move(file)), m_impl(std::make_unique<Impl>()) {}
FileSettingsStore::~FileSettingsStore() = default;
bool FileSettingsStore::keyExists(std::string_view p) {
    return m_impl->tree.keyExists(p);
}
void FileSettingsStore::createKey(std::string_view p) {
    m_impl->tree.createKey(p);
}
std::vector<std::string> FileSettingsStore::subkeyNames(std::string_view p) {
    return m_impl->tree.subkeyNames(p);
}
std::vector<std::string> FileSettingsStore::valueNames(std::string_view p) {
    return m_impl->tree.valueNames(p);
}
std::optional<RegValue> FileSettingsStore::value(std::string_view p, std::string_view n) {
    return m_impl->tree.value(p, n);
}
void FileSettingsStore::setValue(std::string_view p, std::string_view n, RegValue v) {
    m_impl->tree.setValue(p, n, std::move(v));
}
void FileSettingsStore::deleteValue(std::string_view p, std::string_view n) {
    m_impl->tree.deleteValue(p, n);
}
void FileSettingsStore::deleteKeyTree(std::string_view p) {
    m_impl->tree.deleteKeyTree(p);
}
void FileSettingsStore::beginUpdate() {}
void FileSettingsStore::endUpdate() {}
