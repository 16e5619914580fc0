#pragma once

#include "platform/user_prompts.h"

#include <QString>
#include <QStringList>

#include <string_view>

class QPlainTextEdit;

// Text files the windows load into a field or list (message, signature, newsgroup and value
// lists), chosen in a file dialog or dropped on a control.

// The filters of the text file dialog and of the attachment dialog, and the one the attachment
// dialog preselects.
QStringList textFileFilters();
QStringList attachmentFilters();
inline constexpr int kAttachmentFilterPreselected = 2;

// The extension of a path: the text from the last "." of its file name part, "" without one.
QString fileExtension(const QString& path);

// The text-file test: a file chosen in a dialog must end in ".txt" exactly as typed, a dropped
// one in any letter case. When it fails the user is asked "File may not be a text file.
// Continue anyway?"; the result is whether to go on.
bool confirmTextFile(UserPrompts& prompts, const QString& path, bool dropped);

// The warnings for a drop of several files on a target that takes one.
inline constexpr std::string_view kMultipleSignatureFiles =
    "Multiple files not allowed.  The first file in the\rlist will be used as the signature "
    "file.";
inline constexpr std::string_view kMultipleMessageFiles =
    "Multiple files not allowed.  The first file in the\rlist will be used as the message file.";
inline constexpr std::string_view kMultipleListFiles =
    "Multiple files not allowed.  The first file in the\rlist will be used as the newsgropup "
    "file.";

// The one file a single-file drop target takes: after the warning when more were dropped, the
// first, if it passes the text-file test. Empty when nothing was dropped or the user stopped.
QString droppedTextFile(UserPrompts& prompts, const QStringList& paths,
                        std::string_view multipleWarning);

// Reads the file's lines (CR LF, LF or CR line ends; UTF-8, else Windows-1252). A file that
// cannot be read is reported in an error box naming it and the reason; the result is then false
// and lines is left as it was.
bool loadTextFileLines(UserPrompts& prompts, const QString& path, QStringList& lines);

// What a drop does to a target that already holds something, after its question (Yes, No,
// Cancel): Yes replaces, No appends, Cancel leaves it alone. An empty target is simply loaded.
enum class DropMerge { Replace, Append, Nothing };
DropMerge askDropMerge(UserPrompts& prompts, bool targetHasContent, std::string_view question);

// A memo's lines as the project keeps them: split at its line breaks, a final break adding no
// empty line. Characters are kept as typed (no-break spaces stay).
QStringList memoLines(const QPlainTextEdit* memo);
void setMemoLines(QPlainTextEdit* memo, const QStringList& lines);
