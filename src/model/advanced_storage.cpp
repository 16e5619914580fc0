#include "model/advanced_storage.h"

#include "model/stored_values.h"
#include "platform/text.h"

namespace {

constexpr std::string_view kAdvanced = "Advanced";
constexpr std::string_view kLists = "Lists";
constexpr std::string_view kRecentLists = "MRU Lists";

struct ListField {
    std::string_view name;
    std::vector<std::string> ValueLists::*field;
};

// In the order they are written.
constexpr ListField kListFields[] = {
    {"Subjects", &ValueLists::Subjects},
    {"Names", &ValueLists::Names},
    {"E-mail Addresses", &ValueLists::EmailAddresses},
    {"Organizations", &ValueLists::Organizations},
};

}  // namespace

void applyHostNameRule(TAdvanced& advanced, std::string_view computerHostName) {
    if (advanced.UseComputerNameAsHostName)
        advanced.HostName = std::string(computerHostName);
    if (advanced.HostName.empty())
        advanced.HostName = "lunet";
}

bool LoadAdvanced(TAdvanced& advanced, SettingsStore& store, UserPrompts& prompts,
                  std::string_view computerHostName) {
    bool ok = true;
    if (!store.keyExists(kAdvanced)) {
        advanced.SaveLogFile = false;
        advanced.UseProjectNameAsLogFile = true;
        advanced.LogFile = "LunetLog.txt";
        advanced.UseComputerNameAsHostName = true;
        advanced.HostName = std::string(computerHostName);
        advanced.SaveNzbFile = false;
        ok = SaveAdvanced(advanced, store, prompts);
    } else {
        try {
            readFlag(store, kAdvanced, "Save Log File", advanced.SaveLogFile);
            readFlag(store, kAdvanced, "Use Project Name As Log File",
                     advanced.UseProjectNameAsLogFile);
            advanced.LogFile = store.readString(kAdvanced, "Log File");
            readFlag(store, kAdvanced, "Use Windows Computer Name As Host Name",
                     advanced.UseComputerNameAsHostName);
            advanced.HostName = store.readString(kAdvanced, "Host Name");
            readFlag(store, kAdvanced, "Save NZB File", advanced.SaveNzbFile);
        } catch (const std::exception&) {
            prompts.error("Unable to load advanced settings from registry");
            ok = false;
        }
    }
    applyHostNameRule(advanced, computerHostName);
    return ok;
}

bool LoadAdvanced(TAdvanced& advanced, SettingsStore& store, UserPrompts& prompts) {
    return LoadAdvanced(advanced, store, prompts, GetComputerHostName());
}

bool SaveAdvanced(const TAdvanced& advanced, SettingsStore& store, UserPrompts& prompts) {
    try {
        SettingsUpdate update(store);
        writeFlag(store, kAdvanced, "Save Log File", advanced.SaveLogFile);
        writeFlag(store, kAdvanced, "Use Project Name As Log File",
                  advanced.UseProjectNameAsLogFile);
        store.writeString(kAdvanced, "Log File", advanced.LogFile);
        writeFlag(store, kAdvanced, "Use Windows Computer Name As Host Name",
                  advanced.UseComputerNameAsHostName);
        store.writeString(kAdvanced, "Host Name", advanced.HostName);
        writeFlag(store, kAdvanced, "Save NZB File", advanced.SaveNzbFile);
        update.commit();
    } catch (const std::exception&) {
        prompts.error("Unable to save advanced settings to registry");
        return false;
    }
    return true;
}

namespace {

bool loadLists(ValueLists& lists, SettingsStore& store, std::string_view key) {
    bool ok = true;
    for (const auto& l : kListFields) {
        try {
            lists.*l.field = splitLines(store.readString(key, l.name));
        } catch (const std::exception&) {
            (lists.*l.field).clear();
            ok = false;
        }
    }
    return ok;
}

bool saveLists(const ValueLists& lists, SettingsStore& store, std::string_view key) {
    try {
        SettingsUpdate update(store);
        for (const auto& l : kListFields)
            store.writeString(key, l.name, joinLines(lists.*l.field));
        update.commit();
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

}  // namespace

bool LoadValueLists(ValueLists& lists, SettingsStore& store) {
    return loadLists(lists, store, kLists);
}

bool SaveValueLists(const ValueLists& lists, SettingsStore& store) {
    return saveLists(lists, store, kLists);
}

bool LoadRecentLists(ValueLists& lists, SettingsStore& store) {
    return loadLists(lists, store, kRecentLists);
}

bool SaveRecentLists(const ValueLists& lists, SettingsStore& store) {
    return saveLists(lists, store, kRecentLists);
}
