#pragma once

#include <string>
#include <string_view>

// The program's message boxes. Everything below the windows reports to the user only through
// this interface: the GUI shows message boxes, tests record and answer from a script, the
// command line prints and answers as its flags say.

enum class PromptKind { Error, Warning, Information, Confirmation };
enum class PromptButtons { Ok, YesNo, YesNoCancel };
enum class PromptAnswer { Ok, Yes, No, Cancel };

class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // Shows one message box and returns the button the user chose. An empty caption means the
    // application's title.
    virtual PromptAnswer show(PromptKind kind, PromptButtons buttons, std::string_view text,
                              std::string_view caption = {}) = 0;

    void error(std::string_view text) { show(PromptKind::Error, PromptButtons::Ok, text); }
    void warning(std::string_view text) { show(PromptKind::Warning, PromptButtons::Ok, text); }
    void information(std::string_view text) {
        show(PromptKind::Information, PromptButtons::Ok, text);
    }
    PromptAnswer confirm(std::string_view text, PromptButtons buttons = PromptButtons::YesNo) {
        return show(PromptKind::Confirmation, buttons, text);
    }
};

// The application's title, used as the caption of message boxes.
inline constexpr std::string_view kApplicationTitle = "Kavrin/32";
