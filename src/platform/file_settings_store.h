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
// The file is created with mode 0600. Each outermost update is written atomically (temporary
// file in the same folder, fsync, rename, fsync of the folder) while holding an exclusive flock
// on "<file>.lock": when another running copy changed the file since we read it, it is read
// again and this update's own changes are replayed on top before writing, so neither copy
// undoes the other's writes. Reads pick up changes another process made (a stat per read).
// A file that cannot be parsed is reported once (through the prompts, with its path and line),
// moved aside to "<file>.bad-<date>-<time>", and the store starts empty. A write that fails
// raises SettingsError, leaves the file as it was, and the store goes back to its content.
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
