#pragma once

#include "model/project.h"
#include "platform/settings_store.h"
#include "platform/user_prompts.h"

#include <string_view>

// Moving a project between memory and its two stored forms: a key "Projects\<name>" of the
// settings store, and a ".kv32" project file. Each operation reports its own failure in an error
// box with its fixed text ("Unable to load project from registry", "... from file", "Unable to
// save project to registry", "... to file") and returns false; the project keeps whatever was
// read before the failure. The server record named by the project is loaded or saved after the
// project (see server_storage.h), and reports its own failures; those do not change the result.
// An empty key name or project name does nothing and returns true.
//
// Loads never create keys or files. Counts read from storage are clamped to the ranges the
// program works with: CrosspostingLimit and SplitLines to 1..32767, EncodingMethod to 0..1.

// Fills the project from "Projects\<keyName>". A missing key loads as empty texts and port 119
// with flags and counts unchanged, and is not reported.
bool LoadProjectFromRegistry(TProject& project, std::string_view keyName, SettingsStore& store,
                             UserPrompts& prompts);

// Writes the project to "Projects\<keyName>" in one write of the store, then its server record.
// The stored "Name" is the project's own name, which need not be the key name.
bool SaveProjectToRegistry(const TProject& project, std::string_view keyName, SettingsStore& store,
                           UserPrompts& prompts);

// Whether a load reads the server record named by the project too. A caller that has no use for
// it (an export, which needs no server) skips it, and with it the message about a missing one.
enum class ServerRecord { Load, Skip };

// Reads the project file whose path is project.Name. Missing keys take the file defaults
// (port 119, Crosspost and one message per attached file on, limit 10, 1000 split lines).
bool LoadProjectFromFile(TProject& project, SettingsStore& store, UserPrompts& prompts,
                         ServerRecord server = ServerRecord::Load);

// Writes the project file whose path is project.Name, replacing it in one atomic step: a failed
// save leaves the old file as it was. Content the program does not write is kept. Then saves the
// server record to the store (a project file never holds user name or password).
bool SaveProjectToFile(const TProject& project, SettingsStore& store, UserPrompts& prompts);

// Settings-store key path of a stored project: "Projects\<keyName>".
std::string projectKeyPath(std::string_view keyName);
