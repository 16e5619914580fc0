// The preferences' file buttons and the files dropped on its fields and lists.
#include "gui/preferences_dialog.h"

#include "ui_preferences_dialog.h"

#include "gui/list_items.h"
#include "gui/text_files.h"
#include "widgets/file_drag.h"

#include <QFile>
#include <QFileInfo>

void TfrmPreferences::btnDefaultMessageClick() {
    const QString file = m_context.files.openFile(this, QStringLiteral("Load Message From..."), {},
                                                  textFileFilters());
    QStringList lines;
    if (file.isEmpty() || !confirmTextFile(m_context.prompts, file, false) ||
        !loadTextFileLines(m_context.prompts, file, lines))
        return;
    setMemoLines(m_ui->mmoDefaultMessage, lines);
}

void TfrmPreferences::btnDefaultSignatureFileClick() {
    const QString file =
        m_context.files.openFile(this, QStringLiteral("Signature File"),
                                 m_ui->edtDefaultSignatureFile->text(), textFileFilters());
    if (file.isEmpty() || !confirmTextFile(m_context.prompts, file, false))
        return;
    m_ui->edtDefaultSignatureFile->setText(file);
}

void TfrmPreferences::btnDefaultAttachmentsClick() {
    addAttachments(m_context.files.openFiles(this, QStringLiteral("Attach"), {},
                                             attachmentFilters(), kAttachmentFilterPreselected),
                   false);
}

void TfrmPreferences::addAttachments(const QStringList& paths, bool dropped) {
    QListWidget* list = m_ui->lstDefaultAttachments;
    QStringList listed = itemTexts(list);
    for (const QString& path : paths) {
        // A drop may hold folders and things that are no files at all.
        if (dropped && (QFileInfo(path).isDir() || !QFileInfo::exists(path)))
            continue;
        // File names that differ only in letter case are different files here, so only the
        // same path is a repeat.
        if (listed.contains(path))
            continue;
        listed.append(path);
        list->addItem(path);
    }
}

void TfrmPreferences::btnLogFileNameClick() {
    const QString current = m_ui->edtLogFile->text();
    const QString file = m_context.files.saveFile(
        this, QStringLiteral("Log File"),
        current.isEmpty() ? QStringLiteral("LunetLog.txt") : current, textFileFilters(), {}, false);
    if (file.isEmpty())
        return;
    QFile log(file);
    if (log.exists()) {
        switch (m_context.prompts.confirm("Do you want to replace the existing file?",
                                          PromptButtons::YesNoCancel)) {
            case PromptAnswer::Yes:
                if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate))
                    m_context.prompts.warning("Unable to clear progress log");
                break;
            case PromptAnswer::No:
                break;
            default:
                return;
        }
    } else if (!log.open(QIODevice::WriteOnly)) {
        m_context.prompts.warning("Unable to create progress log");
    }
    m_ui->edtLogFile->setText(file);
}

void TfrmPreferences::sysDefaultMessageDrop() {
    const QString file = droppedTextFile(m_context.prompts, m_sysDefaultMessage->NameWithPath(),
                                         kMultipleMessageFiles);
    if (file.isEmpty())
        return;
    QPlainTextEdit* memo = m_ui->mmoDefaultMessage;
    const DropMerge merge = askDropMerge(m_context.prompts, !memo->document()->isEmpty(),
                                         "Do you want to replace the current default message?");
    QStringList lines;
    if (merge == DropMerge::Nothing || !loadTextFileLines(m_context.prompts, file, lines))
        return;
    setMemoLines(memo, merge == DropMerge::Append ? memoLines(memo) + lines : lines);
}

void TfrmPreferences::sysDefaultSignatureFileDrop() {
    const QString file = droppedTextFile(
        m_context.prompts, m_sysDefaultSignatureFile->NameWithPath(), kMultipleSignatureFiles);
    if (!file.isEmpty())
        m_ui->edtDefaultSignatureFile->setText(file);
}

void TfrmPreferences::sysDefaultAttachmentsDrop() {
    addAttachments(m_sysDefaultAttachments->NameWithPath(), true);
}

void TfrmPreferences::sysDefaultNewsgroupsDrop() {
    const QString file = droppedTextFile(m_context.prompts, m_sysDefaultNewsgroups->NameWithPath(),
                                         kMultipleListFiles);
    if (file.isEmpty())
        return;
    const DropMerge merge =
        askDropMerge(m_context.prompts, !m_defaultNewsgroups.isEmpty(),
                     "Do you want to replace the current list of default newsgroups?");
    QStringList lines;
    if (merge == DropMerge::Nothing || !loadTextFileLines(m_context.prompts, file, lines))
        return;
    m_defaultNewsgroups = merge == DropMerge::Append ? m_defaultNewsgroups + lines : lines;
    defaultNewsgroupsChanged();
    followupRule();
}
