#pragma once

#include "platform/user_prompts.h"

#include <QPointer>
#include <QWidget>

// The program's message boxes as QMessageBox. The texts' CR line breaks become line breaks of
// the box; an empty caption is the application's title. While a box is up the pointer is the
// normal arrow, whatever busy cursor the work behind it set.
class QtPrompts : public UserPrompts {
public:
    // Boxes are centred over parent (the active window when there is none).
    explicit QtPrompts(QWidget* parent = nullptr) : m_parent(parent) {}

    void setParent(QWidget* parent) { m_parent = parent; }

    PromptAnswer show(PromptKind kind, PromptButtons buttons, std::string_view text,
                      std::string_view caption = {}) override;

private:
    QPointer<QWidget> m_parent;
};
