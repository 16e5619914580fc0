#include "app/cli.h"

#include "app/console_prompts.h"
#include "platform/file_settings_store.h"
#include "platform/reg_format.h"
#include "platform/regular_file.h"

#include <cstdio>
#include <string>

namespace {
std::string counted(std::size_t n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}
}  // namespace

int runImportSettings(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].empty()) {
        std::fputs("Usage: kavrin32 --import-settings FILE.reg\n", stderr);
        return 2;
    }
    const std::string& path = args[0];
    ConsolePrompts prompts;

    // Only a regular file is read: a folder, a FIFO or a device (or a link to one) is refused
    // before anything is read from it, and no more than a settings file can hold.
    const WholeFile file = readRegularFile(path, kMaxRegFileBytes);
    if (file.problem != FileProblem::None) {
        prompts.error("\"" + path + "\" " +
                      describeFileProblem(file.problem, file.error, kMaxRegFileBytes) +
                      ". Nothing was imported.");
        return 1;
    }
    const std::string& bytes = file.bytes;

    RegDocument doc;
    try {
        doc = parseRegFile(bytes);
    } catch (const RegParseError& e) {
        prompts.error("\"" + path + "\", line " + std::to_string(e.line()) + ": " + e.what() +
                      ". Nothing was imported.");
        return 1;
    }

    auto store = openUserSettings(&prompts);
    RegImportResult r;
    try {
        r = importRegDocument(doc, *store);
    } catch (const RegParseError& e) {
        prompts.error("\"" + path + "\", line " + std::to_string(e.line()) + ": " + e.what() +
                      ". Nothing was imported.");
        return 1;
    } catch (const SettingsError& e) {
        prompts.error(std::string(e.what()) + ". Nothing was imported.");
        return 1;
    }
    if (!r.refusedKeys.empty()) {
        for (const auto& key : r.refusedKeys)
            prompts.error("The key \"" + key + "\" lies outside \"" + std::string(kRegistryRoot) +
                          "\".");
        prompts.error("Only the program's own settings can be imported. Nothing was imported.");
        return 1;
    }
    std::string summary = "Imported " + counted(r.keys, "key") + " and " +
                          counted(r.values, "value") + " from \"" + path + "\"";
    if (r.deletedKeys || r.deletedValues)
        summary += "; deleted " + counted(r.deletedKeys, "key") + " and " +
                   counted(r.deletedValues, "value");
    prompts.information(summary + ".");
    return 0;
}
