#pragma once

#include <string>
#include <vector>

// The program's commands without a window. Each takes the arguments after its own option and
// returns the process's exit status; messages go to standard error.
int runImportSettings(const std::vector<std::string>& args);
int runExport(const std::vector<std::string>& args);
int runPost(const std::vector<std::string>& args);
int runGetNewsgroups(const std::vector<std::string>& args, bool updateOnly);

// Starts the desktop program (with an optional project file).
int runDesktop(int argc, char** argv);

// Prints the usage text to standard output.
void printUsage();
