#include "model/program_start.h"

#include "model/project_storage.h"

#include <filesystem>

void LoadProgramSettings(ProgramSettings& settings, SettingsStore& store, UserPrompts& prompts) {
    LoadAdvanced(settings.Advanced, store, prompts);
    LoadValueLists(settings.Lists, store);
}

bool LoadNamedProjectFile(TProject& project, const std::string& file, SettingsStore& store,
                          UserPrompts& prompts, ServerRecord server) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    project = TProject::FirstStartDefault();
    project.Name = ec ? file : absolute.lexically_normal().string();
    return LoadProjectFromFile(project, store, prompts, server);
}
