#include "app/cli_support.h"

#include "model/program_start.h"
#include "platform/file_settings_store.h"

#include <malloc.h>

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

bool loadCommandLineProject(const std::string& file, UserPrompts& prompts, CommandLineProject& out,
                            ServerRecord server) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::absolute(file, ec), ec) || ec) {
        prompts.error("Cannot open \"" + file + "\": no such project file");
        return false;
    }
    out.store = openUserSettings(&prompts);
    ProgramSettings settings;
    LoadProgramSettings(settings, *out.store, prompts);
    out.advanced = std::move(settings.Advanced);
    out.lists = std::move(settings.Lists);
    return LoadNamedProjectFile(out.project, file, *out.store, prompts, server);
}

void setPostingAllocatorThresholds() {
    // Article pieces and the socket's buffers are a few hundred KiB each and come and go all the
    // time. Left to its defaults the allocator hands each one back to the system and the next
    // one is faulted in page by page, which costs more than encoding and sending the data.
    mallopt(M_MMAP_THRESHOLD, 16 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
}
