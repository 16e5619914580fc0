#pragma once

#include "platform/user_prompts.h"

#include <deque>
#include <string>
#include <vector>

// Records every message box and answers from a script. With the script empty, confirmations
// are answered with the default answer and other boxes with Ok.
class RecordingPrompts : public UserPrompts {
public:
    struct Shown {
        PromptKind kind;
        PromptButtons buttons;
        std::string text;
        std::string caption;
    };

    PromptAnswer show(PromptKind kind, PromptButtons buttons, std::string_view text,
                      std::string_view caption = {}) override;

    void answerNext(PromptAnswer a) { m_script.push_back(a); }
    void setDefaultAnswer(PromptAnswer a) { m_default = a; }

    const std::vector<Shown>& shown() const { return m_shown; }
    // The texts of every box shown, in order.
    std::vector<std::string> texts() const;
    void clear() { m_shown.clear(); }

private:
    std::vector<Shown> m_shown;
    std::deque<PromptAnswer> m_script;
    PromptAnswer m_default = PromptAnswer::No;
};
