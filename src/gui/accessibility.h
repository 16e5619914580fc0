#pragma once

#include <QObject>

class QWidget;

// Gives every control under root that a label names (its buddy) and that has no accessible
// name of its own the label's text, without the mnemonic's "&" (a screen reader otherwise reads
// an editable combo box by what is typed in it, not by what it is for), and the editors inside
// combo boxes and spin boxes their box's name. Call it once the form is built.
void nameControlsByTheirLabels(QWidget* root);

// Shift+F10 opens the focused control's pop-up menu, as the Menu key does: many keyboards have
// no Menu key, and desktop users reach for Shift+F10 (Qt on Linux gives it no meaning).
// Installed on the application, it serves every window.
class ContextMenuKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
