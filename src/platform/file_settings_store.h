#pragma once

#include "platform/memory_settings_store.h"
#include "platform/reg_format.h"
#include "platform/user_prompts.h"

#include <filesystem>
#include <string>

// The settings store kept in one text file in the syntax of a registry export (".reg"):
//   [HKEY_CURRENT_USER\Software\Pellido Software\Kavrin/32\Projects\Last]
//   "Name"="Untitled"
//   "Port Number"=dword:00000077
//   "Cut Here"=hex:00
// The file is created with mode 0600. Every update is written atomically (temporary file,
// fsync, rename) under a lock: the file is read again, the update's changes are applied to what
// another running copy may have written meanwhile, and the result is written. Reads pick up
// changes another process made. A file that cannot be parsed is reported once (through the
// prompts, with its path and line), moved aside, and the store starts empty.
class FileSettingsStore : public SettingsStore {
public:
    FileSettingsStore(std::filesystem::path file, UserPrompts* prompts);
    ~FileSettingsStore() override;

    bool keyExists(std::string_view path) override;
    void createKey(std::string_view path) override;
    std::vector<std::string> subkeyNames(std::string_view path) override;
    std::vector<std::string> valueNames(std::string_view path) override;
    std::optional<RegValue> value(std::string_view path, std::string_view name) override;
    void setValue(std::string_view path, std::string_view name, RegValue v) override;
    void deleteValue(std::string_view path, std::string_view name) override;
    void deleteKeyTree(std::string_view path) override;
    void beginUpdate() override;
    void endUpdate() override;

    const std::filesystem::path& file() const { return m_file; }

private:
    struct Impl;
    std::filesystem::path m_file;
    std::unique_ptr<Impl> m_impl;
};

// The user's store: "settings.reg" in the config folder, which is created when missing.
std::unique_ptr<SettingsStore> openUserSettings(UserPrompts* prompts);
