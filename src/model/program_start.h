#pragma once

#include "model/advanced.h"
#include "model/advanced_storage.h"
#include "model/project.h"
#include "model/project_storage.h"
#include "platform/settings_store.h"
#include "platform/user_prompts.h"

#include <string>

// What every run of the program loads before its first command or window, so the command line
// and the desktop start from the same state.

struct ProgramSettings {
    TAdvanced Advanced;
    ValueLists Lists;
};

// The advanced settings (saving their defaults on a first run, then applying the host-name
// rule) and the four value lists. Failures are reported by the routines they come from; the
// run goes on with what could be read.
void LoadProgramSettings(ProgramSettings& settings, SettingsStore& store, UserPrompts& prompts);

// A project file the user named (on the command line, say): the project's name becomes the
// file's absolute path and the project is read from it. False, reported through the prompts,
// when it cannot be read. The caller decides first whether the file may be opened at all.
bool LoadNamedProjectFile(TProject& project, const std::string& file, SettingsStore& store,
                          UserPrompts& prompts, ServerRecord server = ServerRecord::Load);
