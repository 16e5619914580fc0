#pragma once

#include "model/advanced.h"
#include "model/advanced_storage.h"
#include "model/project.h"
#include "model/project_storage.h"
#include "platform/settings_store.h"
#include "platform/user_prompts.h"

#include <QCoreApplication>

#include <memory>

#include <optional>
#include <string>
#include <vector>

// What the commands share.

// Reads "OPERAND [--yes]" in any order. Returns false (wrong usage) for a missing or second
// operand or an unknown option.
bool parseOperandAndYes(const std::vector<std::string>& args, std::string& operand, bool& yes);

// The event loop the network code needs: a QCoreApplication, made here unless one exists
// already (tests call the commands in-process).
class CommandLineApplication {
public:
    CommandLineApplication();

private:
    std::optional<QCoreApplication> m_own;
};

// A project file with what the program loads around it at start: the settings store, the
// advanced settings (with the host-name rule) and the value lists.
struct CommandLineProject {
    std::unique_ptr<SettingsStore> store;
    TAdvanced advanced;
    ValueLists lists;
    TProject project;
};

// Loads it all, as the desktop program loads its start (model/program_start.h); the server
// record only for a command that needs it. Returns false, after a message through the prompts,
// when the project file is missing or cannot be loaded.
bool loadCommandLineProject(const std::string& file, UserPrompts& prompts, CommandLineProject& out,
                            ServerRecord server = ServerRecord::Load);

// Posting keeps the allocator's memory instead of handing every large piece back to the system;
// "--post" and the desktop program set the same thresholds before they start.
void setPostingAllocatorThresholds();
