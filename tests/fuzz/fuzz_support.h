#pragma once

// What the libFuzzer harnesses share: a check that ends the run with a message (libFuzzer then
// keeps the input), a scratch folder for harnesses that go through files, and prompts that keep
// what they were shown.

#include "platform/user_prompts.h"
#include "support/temp_dir.h"  // writeFile, readFile

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

[[noreturn]] inline void fuzzCheckFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::abort();
}

// Checked in every build type: the harnesses are built with NDEBUG.
#define FUZZ_CHECK(cond) ((cond) ? (void)0 : fuzzCheckFailed(#cond, __FILE__, __LINE__))

// A folder of this process, on a memory file system where the machine has one (every input
// writes files, and a disk would make the harness crawl), removed when the process ends.
inline const std::filesystem::path& fuzzScratchDir() {
    static const std::filesystem::path dir = [] {
        std::error_code ec;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, ec) || ::access(base.c_str(), W_OK) != 0)
            base = std::filesystem::temp_directory_path();
        std::string tmpl = (base / "kavrin32-fuzz-XXXXXX").string();
        if (!::mkdtemp(tmpl.data()))
            fuzzCheckFailed("mkdtemp", __FILE__, __LINE__);
        return std::filesystem::path(tmpl);
    }();
    // Registered once the path is made, so it runs before the path itself is destroyed.
    static const bool removedAtExit = std::atexit([] {
                                          std::error_code ignored;
                                          std::filesystem::remove_all(fuzzScratchDir(), ignored);
                                      }) == 0;
    (void)removedAtExit;
    return dir;
}

// Empties the scratch folder, so every input starts from the same state.
inline void clearFuzzScratchDir() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(fuzzScratchDir(), ec))
        std::filesystem::remove_all(entry.path(), ec);
}

class FuzzPrompts : public UserPrompts {
public:
    PromptAnswer show(PromptKind, PromptButtons buttons, std::string_view text,
                      std::string_view) override {
        texts.emplace_back(text);
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
    }
    std::vector<std::string> texts;
};
