#pragma once

class QWidget;

// Gives every control under root that a label names (its buddy) and that has no accessible
// name of its own the label's text, without the mnemonic's "&" (a screen reader otherwise reads
// an editable combo box by what is typed in it, not by what it is for), and the editors inside
// combo boxes and spin boxes their box's name. Call it once the form is built.
void nameControlsByTheirLabels(QWidget* root);
