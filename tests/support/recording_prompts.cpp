#include "support/recording_prompts.h"

PromptAnswer RecordingPrompts::show(PromptKind kind, PromptButtons buttons, std::string_view text,
                                    std::string_view caption) {
    m_shown.push_back({kind, buttons, std::string(text), std::string(caption)});
    if (!m_script.empty()) {
        PromptAnswer a = m_script.front();
        m_script.pop_front();
        return a;
    }
    return buttons == PromptButtons::Ok ? PromptAnswer::Ok : m_default;
}

std::vector<std::string> RecordingPrompts::texts() const {
    std::vector<std::string> t;
    for (const auto& s : m_shown)
        t.push_back(s.text);
    return t;
}
