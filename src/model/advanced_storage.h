#pragma once

#include "model/advanced.h"
#include "platform/settings_store.h"
#include "platform/user_prompts.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The advanced settings (key "Advanced") and the four value lists (key "Lists").

// The computer's name with blanks turned into underscores, in lower case; "lunet" when the name
// cannot be had or is longer than 64 characters.
std::string GetComputerHostName(const std::optional<std::string>& computerName);
// The same for the name the system gives (computerName()).
std::string GetComputerHostName();

// Reads the Advanced key; on first run (no such key) sets the defaults and saves them. Then
// applies the start-up rule in memory (not saved): with UseComputerNameAsHostName the host name
// becomes computerHostName, and an empty host name becomes "lunet". A failure shows "Unable to
// load advanced settings from registry" and returns false; values read before it are kept and
// the start-up rule still applies.
bool LoadAdvanced(TAdvanced& advanced, SettingsStore& store, UserPrompts& prompts,
                  std::string_view computerHostName);
// As above with GetComputerHostName().
bool LoadAdvanced(TAdvanced& advanced, SettingsStore& store, UserPrompts& prompts);

// Writes the six values in one write of the store ("Save NZB File", a flag, after the five of
// the log and the host name). A failure shows "Unable to save advanced
// settings to registry" and returns false.
bool SaveAdvanced(const TAdvanced& advanced, SettingsStore& store, UserPrompts& prompts);

// The start-up rule on its own.
void applyHostNameRule(TAdvanced& advanced, std::string_view computerHostName);

// The program's four value lists, the pools of the header fields and their random picks.
struct ValueLists {
    std::vector<std::string> Subjects;        // value "Subjects"
    std::vector<std::string> Names;           // value "Names"
    std::vector<std::string> EmailAddresses;  // value "E-mail Addresses"
    std::vector<std::string> Organizations;   // value "Organizations"
};

// Reads the four lists from "Lists"; a missing value is an empty list. A value of another type
// than text also gives an empty list, and the result is then false. Creates nothing.
bool LoadValueLists(ValueLists& lists, SettingsStore& store);
// Writes the four lists in one write of the store; false when the write failed.
bool SaveValueLists(const ValueLists& lists, SettingsStore& store);

// The main window's recently used header values, kept under "MRU Lists" with the same four value
// names and rules: Subjects, Names, E-mail Addresses (both e-mail boxes) and Organizations.
bool LoadRecentLists(ValueLists& lists, SettingsStore& store);
bool SaveRecentLists(const ValueLists& lists, SettingsStore& store);
