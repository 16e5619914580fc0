#include "app/cli_support.h"

#include "model/project_storage.h"
#include "platform/file_settings_store.h"

#include <filesystem>

bool parseOperandAndYes(const std::vector<std::string>& args, std::string& operand, bool& yes) {
    operand.clear();
    yes = false;
    for (const auto& a : args) {
        if (a == "--yes")
            yes = true;
        else if (a.starts_with("--") || !operand.empty())
            return false;
        else
            operand = a;
    }
    return !operand.empty();
}

CommandLineApplication::CommandLineApplication() {
    static int argc = 1;
    static char name[] = "kavrin32";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        m_own.emplace(argc, argv);
}

bool loadCommandLineProject(const std::string& file, UserPrompts& prompts,
                            CommandLineProject& out) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    if (ec || !std::filesystem::is_regular_file(absolute, ec)) {
        prompts.error("Cannot open \"" + file + "\": no such project file");
        return false;
    }
    out.store = openUserSettings(&prompts);
    LoadAdvanced(out.advanced, *out.store, prompts);
    LoadValueLists(out.lists, *out.store);
    out.project = TProject::FirstStartDefault();
    out.project.Name = absolute.string();
    return LoadProjectFromFile(out.project, *out.store, prompts);
}
