#include "app/cli.h"

#include <cstdio>
#include <string>
#include <vector>

void printUsage() {
    std::fputs(
        "Usage: kavrin32 [PROJECT.kv32]\n"
        "       kavrin32 --post PROJECT.kv32 [--yes] [--nzb FILE]\n"
        "       kavrin32 --export DIR PROJECT.kv32 [--replace]\n"
        "       kavrin32 --import-settings FILE.reg\n"
        "       kavrin32 --get-newsgroups HOST [--yes]\n"
        "       kavrin32 --update-newsgroups HOST [--yes]\n"
        "       kavrin32 --help | --version\n"
        "\n"
        "Posts messages and binary attachments to Usenet newsgroups.\n"
        "\n"
        "  --post             post the project as \"Post It!\" does; progress on standard output\n"
        "  --nzb FILE         with --post: save the NZB file of the attached files the server\n"
        "                     accepted as FILE (download tools fetch the files through it)\n"
        "  --export           write every document a posting would send as DIR/0001.eml, ...,\n"
        "                     and DIR/posting.nzb when files are attached\n"
        "  --replace          let --export replace the documents of an earlier export in DIR\n"
        "  --import-settings  merge a Windows registry export of the program's settings\n"
        "  --get-newsgroups   fetch a stored server's whole newsgroup list\n"
        "  --update-newsgroups fetch only the groups created since the last fetch\n"
        "  --yes              answer Yes to the program's questions (default: No)\n"
        "  -h, --help         show this help and exit\n"
        "  --version          show the program's version and exit\n"
        "\n"
        "Encoding Method 2 in a project is yEnc: each part of a file in an article of its own,\n"
        "subjects ending in \" yEnc (k/n)\".\n"
        "\n"
        "Settings: $KAVRIN32_CONFIG_DIR, else $XDG_CONFIG_HOME/kavrin32, else ~/.config/kavrin32.\n"
        "Newsgroup lists: $KAVRIN32_DATA_DIR, else $XDG_DATA_HOME/kavrin32, else\n"
        "~/.local/share/kavrin32.\n",
        stdout);
}

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return runDesktop(argc, argv);
    const std::string& cmd = args.front();
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (cmd == "--help" || cmd == "-h") {
        printUsage();
        return 0;
    }
    if (cmd == "--version") {
        std::printf("Kavrin/32 %s\n", KAVRIN32_VERSION);
        return 0;
    }
    if (cmd == "--import-settings")
        return runImportSettings(rest);
    if (cmd == "--export")
        return runExport(rest);
    if (cmd == "--post")
        return runPost(rest);
    if (cmd == "--get-newsgroups")
        return runGetNewsgroups(rest, false);
    if (cmd == "--update-newsgroups")
        return runGetNewsgroups(rest, true);
    if (cmd.starts_with("--")) {
        std::fprintf(stderr, "kavrin32: unknown option %s\n\n", cmd.c_str());
        printUsage();
        return 2;
    }
    return runDesktop(argc, argv);
}
