#include "gui/host_name_entry.h"

#include <QLineEdit>

QString filterHostName(const QString& text, int* cursor) {
    QString out;
    out.reserve(text.size());
    int newCursor = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const bool kept = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                          (c >= u'0' && c <= u'9') || c == u'-' || c == u'_';
        if (!kept && c != u' ')
            continue;
        out.append(kept ? QChar(c) : QLatin1Char('_'));
        if (cursor && i < *cursor)
            ++newCursor;
    }
    if (cursor)
        *cursor = newCursor;
    return out;
}

void keepHostNameEntry(QLineEdit* edit) {
    // textEdited comes for the user's changes only: typing, pasting, dropping, undoing.
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
        int cursor = edit->cursorPosition();
        const QString filtered = filterHostName(text, &cursor);
        if (filtered == text)
            return;
        edit->setText(filtered);
        edit->setCursorPosition(cursor);
    });
}
