// The main window's project: copying it to and from the fields, and the project file commands.

#include "gui/main_window.h"

#include "gui/list_items.h"
#include "gui/text_files.h"
#include "model/program_start.h"
#include "model/project_storage.h"
#include "model/server_storage.h"
#include "ui_attachments_page.h"
#include "ui_message_page.h"
#include "ui_newsgroups_page.h"
#include "ui_options_page.h"
#include "widgets/vlistbox.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QStringList kProjectFilters{QStringLiteral("Kavrin/32 Project Files (*.kv32)")};

}  // namespace

ProjectForm TfrmKavrin::readForm() const {
    const Ui::MessagePage& m = *m_message;
    const Ui::OptionsPage& o = *m_options;
    ProjectForm f;
    f.NewsgroupServer = m.cbxNewsgroupServer->currentText();
    f.Subject = m.cbxSubject->currentText();
    f.FromName = m.cbxFromName->currentText();
    f.FromEmailAddress = m.cbxFromEmailAddress->currentText();
    f.ReplyToEmailAddress = m.cbxReplyToEmailAddress->currentText();
    f.Organization = m.cbxOrganization->currentText();
    f.FollowUpTo = m.cbxFollowupTo->currentText();
    f.XNoArchive = o.chkXNoArchive->isChecked();
    f.Newsgroups = m_newsgroups;
    f.FollowUpItems = itemTexts(m.cbxFollowupTo);
    f.Message = memoLines(m.mmoMessage);
    f.SignatureFile = m.edtSignatureFile->text();
    f.Attachments = itemTexts(m_attachments->lstAttachments);
    f.RandomizeSubject = m.chkRandomizeSubject->isChecked();
    f.RandomizeFromName = m.chkRandomizeFromName->isChecked();
    f.RandomizeFromEmailAddress = m.chkRandomizeFromEmailAddress->isChecked();
    f.RandomizeReplyToEmailAddress = m.chkRandomizeReplyToEmailAddress->isChecked();
    f.RandomizeOrganization = m.chkRandomizeOrganization->isChecked();
    f.RandomizeFollowUpTo = m.chkRandomizeFollowupTo->isChecked();
    f.PostSeparateMessageForEachAttachedFile =
        m_attachments->chkPostSeparateMessageForEachAttachedFile->isChecked();
    f.Crosspost = o.chkCrosspost->isChecked();
    f.LimitCrossposting = o.chkLimitCrossposting->isChecked();
    f.CrosspostingLimit = o.spnCrosspostingLimit->value();
    f.EncodingMethod = m_encoding->checkedId();
    f.SplitLargeMessages = o.chkSplitUpMessages->isChecked();
    f.SplitLines = o.spnMessageSize->value();
    f.CutHere = o.chkCutHere->isChecked();
    return f;
}

void TfrmKavrin::writeForm(const ProjectForm& f) {
    Ui::MessagePage& m = *m_message;
    Ui::OptionsPage& o = *m_options;
    {
        const QSignalBlocker quiet(m.cbxNewsgroupServer);
        m.cbxNewsgroupServer->setCurrentIndex(m.cbxNewsgroupServer->findText(
            f.NewsgroupServer, Qt::MatchFixedString | Qt::MatchCaseSensitive));
    }
    m.cbxSubject->setEditText(f.Subject);
    m.cbxFromName->setEditText(f.FromName);
    m.cbxFromEmailAddress->setEditText(f.FromEmailAddress);
    m.cbxReplyToEmailAddress->setEditText(f.ReplyToEmailAddress);
    m.cbxOrganization->setEditText(f.Organization);
    o.chkXNoArchive->setChecked(f.XNoArchive);
    showNewsgroups(f.Newsgroups);
    m.cbxFollowupTo->clear();
    m.cbxFollowupTo->addItems(f.FollowUpItems);
    m.cbxFollowupTo->setEditText(f.FollowUpTo);
    setMemoLines(m.mmoMessage, f.Message);
    m.edtSignatureFile->setText(f.SignatureFile);
    setItems(m_attachments->lstAttachments, f.Attachments);
    m.chkRandomizeSubject->setChecked(f.RandomizeSubject);
    m.chkRandomizeFromName->setChecked(f.RandomizeFromName);
    m.chkRandomizeFromEmailAddress->setChecked(f.RandomizeFromEmailAddress);
    m.chkRandomizeReplyToEmailAddress->setChecked(f.RandomizeReplyToEmailAddress);
    m.chkRandomizeOrganization->setChecked(f.RandomizeOrganization);
    m.chkRandomizeFollowupTo->setChecked(f.RandomizeFollowUpTo);
    m_attachments->chkPostSeparateMessageForEachAttachedFile->setChecked(
        f.PostSeparateMessageForEachAttachedFile);
    o.chkCrosspost->setChecked(f.Crosspost);
    o.chkLimitCrossposting->setChecked(f.LimitCrossposting);
    o.spnCrosspostingLimit->setValue(f.CrosspostingLimit);
    if (QAbstractButton* method = m_encoding->button(f.EncodingMethod))
        method->setChecked(true);
    o.chkSplitUpMessages->setChecked(f.SplitLargeMessages);
    o.spnMessageSize->setValue(f.SplitLines);
    o.chkCutHere->setChecked(f.CutHere);
}

void TfrmKavrin::ProjectToForm(TProject& project) {
    writeForm(formOfProject(project));
    UpdateTitle();
    attachmentsChanged();
    edtChange();
}

void TfrmKavrin::FormToProject(TProject& project) {
    const std::string host = project.Server.HostName;
    copyFormToProject(readForm(), project);
    // Another server's port and login must not travel with the new host name.
    if (project.Server.HostName != host) {
        const std::string chosen = project.Server.HostName;
        project.Server = TServer{};
        project.Server.HostName = chosen;
    }
    LoadServer(project.Server, m_context.store, m_context.prompts);
}

bool TfrmKavrin::ProjectChanged() const {
    return projectChanged(readForm(), m_project);
}

PromptAnswer TfrmKavrin::askToSave() {
    if (!ProjectChanged())
        return PromptAnswer::Ok;
    const PromptAnswer answer = m_context.prompts.confirm(
        saveQuestion(QString::fromStdString(m_project.Name)).toStdString(),
        PromptButtons::YesNoCancel);
    if (answer == PromptAnswer::Yes)
        mniFileSaveProjectClick();
    return answer;
}

bool TfrmKavrin::FormCloseQuery() {
    if (m_project.Name.empty())
        m_project.Name = "Untitled";
    const PromptAnswer answer = askToSave();
    // The unsaved work lives on as "Last", which must not point at the file.
    if (answer == PromptAnswer::No)
        m_project.Name = "Untitled";
    return answer != PromptAnswer::Cancel;
}

void TfrmKavrin::mniFileNewProjectClick() {
    if (askToSave() == PromptAnswer::Cancel)
        return;
    LoadProjectFromRegistry(m_project, m_default.Name.empty() ? "Default" : m_default.Name,
                            m_context.store, m_context.prompts);
    m_project.Name = "Untitled";
    ProjectToForm(m_project);
}

void TfrmKavrin::mniFileOpenProjectClick() {
    if (askToSave() != PromptAnswer::Cancel) {
        const QString file = m_context.files.openFile(this, QStringLiteral("Open Project"),
                                                      projectFolder(), kProjectFilters);
        if (!file.isEmpty()) {
            m_projectFolder = QFileInfo(file).absolutePath();
            LoadNamedProjectFile(m_project, file.toStdString(), m_context.store, m_context.prompts);
            ProjectToForm(m_project);
        }
    }
    edtChange();
    updateOptionStates();
}

void TfrmKavrin::mniFileSaveProjectClick() {
    FormToProject(m_project);
    if (!m_project.Name.empty() && m_project.Name != "Untitled") {
        SaveProjectToFile(m_project, m_context.store, m_context.prompts);
        UpdateTitle();
        return;
    }
    saveToChosenFile(QDir(projectFolder()).filePath(QStringLiteral("Untitled.kv32")));
}

void TfrmKavrin::mniFileSaveProjectAsClick() {
    FormToProject(m_project);
    const QString name = QString::fromStdString(m_project.Name);
    saveToChosenFile(name.isEmpty() || name == QStringLiteral("Untitled")
                         ? QDir(projectFolder()).filePath(QStringLiteral("Untitled.kv32"))
                         : name);
}

void TfrmKavrin::saveToChosenFile(const QString& startPath) {
    const QString chosen =
        m_context.files.saveFile(this, QStringLiteral("Save Project As"), startPath,
                                 kProjectFilters, QStringLiteral("kv32"), true);
    if (chosen.isEmpty())
        return;
    const QString file = projectFileName(chosen);
    // The dialog asked about the name chosen, not about the one the extension makes of it.
    if (file != chosen && QFileInfo::exists(file) &&
        m_context.prompts.confirm(
            (file + QStringLiteral(" already exists.\rDo you want to replace it?"))
                .toStdString()) != PromptAnswer::Yes)
        return;
    m_projectFolder = QFileInfo(file).absolutePath();
    m_project.Name = file.toStdString();
    SaveProjectToFile(m_project, m_context.store, m_context.prompts);
    UpdateTitle();
}

QString TfrmKavrin::projectFolder() const {
    if (!m_projectFolder.isEmpty())
        return m_projectFolder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}
