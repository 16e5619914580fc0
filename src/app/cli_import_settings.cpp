#include "app/cli.h"

#include "app/console_prompts.h"
#include "platform/file_settings_store.h"
#include "platform/reg_format.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
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

    std::error_code ec;
    if (auto size = std::filesystem::file_size(path, ec); !ec && size > kMaxRegFileBytes) {
        prompts.error("\"" + path +
                      "\" is too large to be a registry export. Nothing was imported.");
        return 1;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        prompts.error("Cannot open \"" + path + "\": " + std::strerror(errno));
        return 1;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        prompts.error("Cannot read \"" + path + "\"");
        return 1;
    }

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
