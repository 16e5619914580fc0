#include "gui/text_files.h"

#include "platform/text.h"

#include <QPlainTextEdit>
#include <QTextDocument>

#include <string>
#include <vector>

QStringList textFileFilters() {
    return {QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*.*)")};
}

QStringList attachmentFilters() {
    return {QStringLiteral("Windows Bitmap Images (*.bmp)"), QStringLiteral("GIF Images (*.gif)"),
            QStringLiteral("JPEG Images (*.jpg)"), QStringLiteral("All Files (*.*)")};
}

QString fileExtension(const QString& path) {
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

bool confirmTextFile(UserPrompts& prompts, const QString& path, bool dropped) {
    const QString extension = dropped ? fileExtension(path).toLower() : fileExtension(path);
    if (extension == QStringLiteral(".txt"))
        return true;
    return prompts.confirm("File may not be a text file.  Continue anyway?") == PromptAnswer::Yes;
}

QString droppedTextFile(UserPrompts& prompts, const QStringList& paths,
                        std::string_view multipleWarning) {
    if (paths.isEmpty())
        return {};
    if (paths.size() > 1)
        prompts.warning(multipleWarning);
    if (!confirmTextFile(prompts, paths.front(), true))
        return {};
    return paths.front();
}

bool loadTextFileLines(UserPrompts& prompts, const QString& path, QStringList& lines) {
    std::vector<std::string> read;
    std::string error;
    if (!readTextFileLines(path.toStdString(), read, &error)) {
        prompts.error(error);
        return false;
    }
    lines.clear();
    lines.reserve(qsizetype(read.size()));
    for (const std::string& line : read)
        lines.append(QString::fromStdString(line));
    return true;
}

DropMerge askDropMerge(UserPrompts& prompts, bool targetHasContent, std::string_view question) {
    if (!targetHasContent)
        return DropMerge::Replace;
    switch (prompts.confirm(question, PromptButtons::YesNoCancel)) {
        case PromptAnswer::Yes:
            return DropMerge::Replace;
        case PromptAnswer::No:
            return DropMerge::Append;
        default:
            return DropMerge::Nothing;
    }
}

QStringList memoLines(const QPlainTextEdit* memo) {
    // The raw text: the plain one turns no-break spaces into blanks.
    QString text = memo->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

void setMemoLines(QPlainTextEdit* memo, const QStringList& lines) {
    memo->setPlainText(lines.join(QLatin1Char('\n')));
}
