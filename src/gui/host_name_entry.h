#pragma once

#include <QString>

class QLineEdit;

// The entry rule of the Message-ID host name: letters "A" to "Z" and "a" to "z", digits, "-" and
// "_" are kept, a blank becomes "_", anything else is dropped. cursor (when given) is a position
// in text and is moved to the same place in the result.
QString filterHostName(const QString& text, int* cursor = nullptr);

// Applies the rule to every change the user makes to the edit, typed, pasted or dropped alike.
// Texts the program sets are left as they are.
void keepHostNameEntry(QLineEdit* edit);
