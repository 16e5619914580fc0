#pragma once

#include <filesystem>

// Where the program keeps its files. The config folder holds the settings store; the data
// folder holds the newsgroup list files. Both are chosen once, from the environment:
// $KAVRIN32_CONFIG_DIR, else $XDG_CONFIG_HOME/kavrin32, else ~/.config/kavrin32 (and the same
// with KAVRIN32_DATA_DIR, XDG_DATA_HOME and ~/.local/share for data).
std::filesystem::path configDir();
std::filesystem::path dataDir();

// Creates the folder (and parents) with mode 0700 when missing. Returns false when it cannot.
bool ensureDir(const std::filesystem::path& dir);
