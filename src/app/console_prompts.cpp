#include "app/console_prompts.h"

#include <string>

PromptAnswer ConsolePrompts::show(PromptKind kind, PromptButtons buttons, std::string_view text,
                                  std::string_view) {
    const char* label = "";
    switch (kind) {
        case PromptKind::Error:
            label = "error: ";
            ++m_errors;
            break;
        case PromptKind::Warning:
            label = "warning: ";
            break;
        case PromptKind::Information:
            break;
        case PromptKind::Confirmation:
            label = "question: ";
            break;
    }
    std::string line = std::string("kavrin32: ") + label + std::string(text);
    if (buttons == PromptButtons::Ok) {
        std::fprintf(m_out, "%s\n", line.c_str());
        return PromptAnswer::Ok;
    }
    PromptAnswer a = m_answerYes ? PromptAnswer::Yes : PromptAnswer::No;
    std::fprintf(m_out, "%s [%s]\n", line.c_str(), a == PromptAnswer::Yes ? "Yes" : "No");
    return a;
}
