#pragma once

#include "gui/file_chooser.h"
#include "platform/settings_store.h"
#include "platform/user_prompts.h"
#include "posting/nntp_job.h"

#include <QString>

#include <filesystem>

// What every window of the program is handed by its opener: the settings store, the message
// boxes, the file dialogs, the run's one NNTP job value and the folder of the newsgroup list
// files. The windows keep references; the objects outlive every window.
struct GuiContext {
    SettingsStore& store;
    UserPrompts& prompts;
    FileChooser& files;
    TNNTPJob& nntpJob;
    std::filesystem::path dataDir;
    // A file of extra trusted certificate authorities for every server (the
    // KAVRIN32_EXTRA_CA_FILE override); empty for none.
    QString extraCaFile;
};
