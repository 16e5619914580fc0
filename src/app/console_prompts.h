#pragma once

#include "platform/user_prompts.h"

#include <cstdio>

// Message boxes for the commands without a window: every text goes to standard error, and a
// question is answered Yes only when the user said so on the command line (--yes).
class ConsolePrompts : public UserPrompts {
public:
    explicit ConsolePrompts(bool answerYes = false, std::FILE* out = stderr)
        : m_answerYes(answerYes), m_out(out) {}

    PromptAnswer show(PromptKind kind, PromptButtons buttons, std::string_view text,
                      std::string_view caption = {}) override;

    // How many error boxes were shown, so a command can end with a failing status.
    int errorCount() const { return m_errors; }

private:
    bool m_answerYes;
    std::FILE* m_out;
    int m_errors = 0;
};
