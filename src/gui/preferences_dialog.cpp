#include "gui/preferences_dialog.h"

#include "ui_preferences_dialog.h"

#include "gui/button_pictures.h"
#include "gui/help_window.h"
#include "gui/host_name_entry.h"
#include "gui/list_items.h"
#include "gui/newsgroup_servers_dialog.h"
#include "gui/newsgroups_dialog.h"
#include "gui/string_lists.h"
#include "gui/text_files.h"
#include "model/advanced_storage.h"
#include "model/project_storage.h"
#include "model/server_storage.h"
#include "platform/text.h"
#include "widgets/file_drag.h"
#include "widgets/speed_button.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QEvent>
#include <QFocusEvent>
#include <QRadioButton>
#include <QSignalBlocker>

namespace {

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

TfrmPreferences::TfrmPreferences(GuiContext& context, PreferencesHost& host, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::TfrmPreferences>()),
      m_context(context),
      m_host(host),
      m_computerHostName(GetComputerHostName()) {
    m_ui->setupUi(this);
    setWindowFlag(Qt::Tool);
    installHelpKey(this, HelpPage::Preferences);
    FormCreate();
}

TfrmPreferences::~TfrmPreferences() = default;

void TfrmPreferences::FormCreate() {
    Ui::TfrmPreferences& ui = *m_ui;

    // The pictures of the buttons, by tag: 0 OK, 2 Cancel, 4 Add, 6 servers, 8 newsgroups,
    // 10 attached files, 12 signature and log file, 14 message.
    auto* hover =
        new THoverPictures(buttonPictures({QStringLiteral("ok"), QStringLiteral("cancel"),
                                           QStringLiteral("add"), QStringLiteral("server"),
                                           QStringLiteral("newsgroups"), QStringLiteral("attach"),
                                           QStringLiteral("file"), QStringLiteral("message")}),
                           this);
    const std::pair<TMySpeedButton*, int> tags[] = {
        {ui.btnOk, 0},
        {ui.btnCancel, 2},
        {ui.btnAddFromName, 4},
        {ui.btnAddEmailAddress, 4},
        {ui.btnAddOrganization, 4},
        {ui.btnAddSubject, 4},
        {ui.btnDefaultNewsgroupServer, 6},
        {ui.btnDefaultNewsgroups, 8},
        {ui.btnDefaultAttachments, 10},
        {ui.btnDefaultSignatureFile, 12},
        {ui.btnLogFileName, 12},
        {ui.btnDefaultMessage, 14},
    };
    for (const auto& [button, tag] : tags) {
        button->SetTag(tag);
        hover->Attach(button);
    }

    // Every method the project model knows, in its order, so the index is EncodingMethod. The
    // form's controls stand in reading order, so Tab follows it; these join after "Cut Here".
    m_encodingMethods = new QButtonGroup(this);
    QWidget* previous = ui.chkDefaultCutHere;
    for (std::size_t i = 0; i < std::size(kEncodingMethodNames); ++i) {
        const std::string_view name = kEncodingMethodNames[i];
        auto* item = new QRadioButton(QString::fromUtf8(name.data(), qsizetype(name.size())),
                                      ui.grpDefaultEncodingMethod);
        item->setObjectName(QStringLiteral("grpDefaultEncodingMethodItem%1").arg(i));
        ui.grpDefaultEncodingMethod->layout()->addWidget(item);
        m_encodingMethods->addButton(item, int(i));
        setTabOrder(previous, item);
        previous = item;
    }
    static_cast<QBoxLayout*>(ui.grpDefaultEncodingMethod->layout())->addStretch();
    m_encodingMethods->button(kEncodingUUEncode)->setChecked(true);

    TVListBox& newsgroups = *ui.lstDefaultNewsgroups;
    newsgroups.SetHeader(false);
    newsgroups.SetMultiSelect(true);
    newsgroups.OnGetItem = [this](TVListBox*, int Index, int, QString& Strg, TOwnerDrawState,
                                  QFont&, QColor&, QColor&) {
        Strg = TVListBox::ItemOf(m_defaultNewsgroups, Index);
    };
    newsgroups.SetRowCount(0);

    m_sysDefaultNewsgroups = dropTarget(ui.lstDefaultNewsgroups);
    m_sysDefaultMessage = dropTarget(ui.mmoDefaultMessage);
    m_sysDefaultSignatureFile = dropTarget(ui.edtDefaultSignatureFile);
    m_sysDefaultAttachments = dropTarget(ui.lstDefaultAttachments);
    connect(m_sysDefaultNewsgroups, &TFileDrag::OnDrop, this,
            &TfrmPreferences::sysDefaultNewsgroupsDrop);
    connect(m_sysDefaultMessage, &TFileDrag::OnDrop, this, &TfrmPreferences::sysDefaultMessageDrop);
    connect(m_sysDefaultSignatureFile, &TFileDrag::OnDrop, this,
            &TfrmPreferences::sysDefaultSignatureFileDrop);
    connect(m_sysDefaultAttachments, &TFileDrag::OnDrop, this,
            &TfrmPreferences::sysDefaultAttachmentsDrop);
    setUpValueLists();

    connect(ui.btnOk, &QAbstractButton::clicked, this, &TfrmPreferences::btnOkClick);
    connect(ui.btnCancel, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(ui.btnDefaultMessage, &QAbstractButton::clicked, this,
            &TfrmPreferences::btnDefaultMessageClick);
    connect(ui.btnDefaultSignatureFile, &QAbstractButton::clicked, this,
            &TfrmPreferences::btnDefaultSignatureFileClick);
    connect(ui.btnDefaultAttachments, &QAbstractButton::clicked, this,
            &TfrmPreferences::btnDefaultAttachmentsClick);
    connect(ui.btnLogFileName, &QAbstractButton::clicked, this,
            &TfrmPreferences::btnLogFileNameClick);
    connect(ui.btnDefaultNewsgroupServer, &QAbstractButton::clicked, this,
            &TfrmPreferences::btnDefaultNewsgroupServerClick);
    connect(ui.btnDefaultNewsgroups, &QAbstractButton::clicked, this,
            &TfrmPreferences::btnDefaultNewsgroupsClick);
    connect(ui.cbxDefaultNewsgroupServer, &QComboBox::currentIndexChanged, this,
            &TfrmPreferences::cbxDefaultNewsgroupServerChange);

    for (const RandomizeControls& r : randomizeSwitches())
        connect(r.check, &QCheckBox::toggled, this, [this, r] { randomizeClick(r); });
    connect(ui.chkDefaultCrosspost, &QCheckBox::toggled, this,
            &TfrmPreferences::chkDefaultCrosspostClick);
    connect(ui.chkDefaultSplitUpMessages, &QCheckBox::toggled, this,
            &TfrmPreferences::chkDefaultSplitUpMessagesClick);
    connect(ui.chkSaveLogFile, &QCheckBox::toggled, this, &TfrmPreferences::chkSaveLogFileClick);
    connect(ui.chkUseProjectNameAsLogFile, &QCheckBox::toggled, this,
            &TfrmPreferences::chkUseProjectNameAsLogFileClick);
    connect(ui.chkUseWindowsComputerNameAsHostName, &QCheckBox::toggled, this,
            &TfrmPreferences::chkUseWindowsComputerNameAsHostNameClick);
    keepHostNameEntry(ui.edtUseTextAsHostName);

    for (QComboBox* box :
         {ui.cbxDefaultSubject, ui.cbxDefaultFromName, ui.cbxDefaultFromEmailAddress,
          ui.cbxDefaultReplyToEmailAddress, ui.cbxDefaultOrganization})
        box->installEventFilter(this);

    // What the main window holds now: the drop-downs' items, then the project and settings.
    const RecentLists recent = m_host.recentLists();
    setSortedItems(ui.cbxDefaultSubject, recent.Subjects);
    setSortedItems(ui.cbxDefaultFromName, recent.FromNames);
    setSortedItems(ui.cbxDefaultFromEmailAddress, recent.FromEmailAddresses);
    setSortedItems(ui.cbxDefaultReplyToEmailAddress, recent.ReplyToEmailAddresses);
    setSortedItems(ui.cbxDefaultOrganization, recent.Organizations);
    ProjectToForm(m_host.defaultProject());
    AdvancedToForm(m_host.advancedSettings());
    cbxDefaultNewsgroupServerChange();
}

TFileDrag* TfrmPreferences::dropTarget(QWidget* control) {
    auto* drop = new TFileDrag(this);
    drop->SetFocusControl(control);
    drop->SetEnableDrop(true);
    return drop;
}

// --- the default project and the advanced settings ------------------------------------------

void TfrmPreferences::fillServerBox(const QString& select) {
    QComboBox* box = m_ui->cbxDefaultNewsgroupServer;
    const QSignalBlocker blocker(box);
    box->clear();
    for (const std::string& name : serverNames(m_context.store))
        box->addItem(fromStd(name));
    box->setCurrentIndex(select.isEmpty() ? -1 : box->findText(select, Qt::MatchFixedString));
}

void TfrmPreferences::ProjectToForm(const TProject& project) {
    Ui::TfrmPreferences& ui = *m_ui;
    fillServerBox(fromStd(project.Server.HostName));
    ui.cbxDefaultSubject->setEditText(fromStd(project.Subject));
    ui.cbxDefaultFromName->setEditText(fromStd(project.FromName));
    ui.cbxDefaultFromEmailAddress->setEditText(fromStd(project.FromEmailAddress));
    ui.cbxDefaultReplyToEmailAddress->setEditText(fromStd(project.ReplyToEmailAddress));
    ui.cbxDefaultOrganization->setEditText(fromStd(project.Organization));
    ui.cbxDefaultFollowupTo->setEditText(fromStd(project.FollowUpTo));
    ui.chkDefaultXNoArchive->setChecked(project.XNoArchive == "Yes");
    m_defaultNewsgroups = toQStringList(project.Newsgroups);
    defaultNewsgroupsChanged();
    setSortedItems(ui.cbxDefaultFollowupTo, m_defaultNewsgroups);
    setMemoLines(ui.mmoDefaultMessage, toQStringList(project.Body));
    ui.edtDefaultSignatureFile->setText(fromStd(project.SignatureFile));
    setItems(ui.lstDefaultAttachments, toQStringList(splitLines(project.AttachmentsText)));
    ui.chkDefaultRandomizeSubject->setChecked(project.RandomizeSubject);
    ui.chkDefaultRandomizeFromName->setChecked(project.RandomizeFromName);
    ui.chkDefaultRandomizeFromEmailAddress->setChecked(project.RandomizeFromEmailAddress);
    ui.chkDefaultRandomizeReplyToEmailAddress->setChecked(project.RandomizeReplyToEmailAddress);
    ui.chkDefaultRandomizeOrganization->setChecked(project.RandomizeOrganization);
    ui.chkDefaultRandomizeFollowupTo->setChecked(project.RandomizeFollowUpTo);
    ui.chkDefaultPostSeparateMessageForEachAttachedFile->setChecked(
        project.PostSeparateMessageForEachAttachedFile);
    ui.chkDefaultCrosspost->setChecked(project.Crosspost);
    ui.chkDefaultLimitCrossposting->setChecked(project.LimitCrossposting);
    ui.spnDefaultCrosspostingLimit->setValue(project.CrosspostingLimit);
    if (QAbstractButton* method = m_encodingMethods->button(project.EncodingMethod))
        method->setChecked(true);
    ui.chkDefaultSplitUpMessages->setChecked(project.SplitLargeMessages);
    ui.spnDefaultMessageSize->setValue(project.SplitLines);
    ui.chkDefaultCutHere->setChecked(project.CutHere);
    updateEnabledStates();
}

void TfrmPreferences::FormToProject(TProject& project) {
    Ui::TfrmPreferences& ui = *m_ui;
    // The port, login and the rest come from the server's own record.
    const std::string host = serverBoxText().toStdString();
    if (host != project.Server.HostName) {
        project.Server = TServer{};
        project.Server.HostName = host;
    }
    LoadServer(project.Server, m_context.store, m_context.prompts);
    project.Subject = ui.cbxDefaultSubject->currentText().toStdString();
    project.FromName = ui.cbxDefaultFromName->currentText().toStdString();
    project.FromEmailAddress = ui.cbxDefaultFromEmailAddress->currentText().toStdString();
    project.ReplyToEmailAddress = ui.cbxDefaultReplyToEmailAddress->currentText().toStdString();
    project.Organization = ui.cbxDefaultOrganization->currentText().toStdString();
    project.FollowUpTo = ui.cbxDefaultFollowupTo->currentText().toStdString();
    project.XNoArchive = ui.chkDefaultXNoArchive->isChecked() ? "Yes" : "No";
    project.SetNewsgroupsText(joinLines(toStdLines(m_defaultNewsgroups)));
    project.Body = toStdLines(memoLines(ui.mmoDefaultMessage));
    project.SignatureFile = ui.edtDefaultSignatureFile->text().toStdString();
    project.AttachmentsText = joinLines(toStdLines(itemTexts(ui.lstDefaultAttachments)));
    project.RandomizeSubject = ui.chkDefaultRandomizeSubject->isChecked();
    project.RandomizeFromName = ui.chkDefaultRandomizeFromName->isChecked();
    project.RandomizeFromEmailAddress = ui.chkDefaultRandomizeFromEmailAddress->isChecked();
    project.RandomizeReplyToEmailAddress = ui.chkDefaultRandomizeReplyToEmailAddress->isChecked();
    project.RandomizeOrganization = ui.chkDefaultRandomizeOrganization->isChecked();
    project.RandomizeFollowUpTo = ui.chkDefaultRandomizeFollowupTo->isChecked();
    project.PostSeparateMessageForEachAttachedFile =
        ui.chkDefaultPostSeparateMessageForEachAttachedFile->isChecked();
    project.Crosspost = ui.chkDefaultCrosspost->isChecked();
    project.LimitCrossposting = ui.chkDefaultLimitCrossposting->isChecked();
    project.CrosspostingLimit = ui.spnDefaultCrosspostingLimit->value();
    if (m_encodingMethods->checkedId() >= 0)
        project.EncodingMethod = m_encodingMethods->checkedId();
    project.SplitLargeMessages = ui.chkDefaultSplitUpMessages->isChecked();
    project.SplitLines = ui.spnDefaultMessageSize->value();
    project.CutHere = ui.chkDefaultCutHere->isChecked();
}

void TfrmPreferences::AdvancedToForm(const TAdvanced& advanced) {
    Ui::TfrmPreferences& ui = *m_ui;
    ui.chkSaveLogFile->setChecked(advanced.SaveLogFile);
    ui.chkUseProjectNameAsLogFile->setChecked(advanced.UseProjectNameAsLogFile);
    ui.edtLogFile->setText(fromStd(advanced.LogFile));
    ui.chkUseWindowsComputerNameAsHostName->setChecked(advanced.UseComputerNameAsHostName);
    ui.edtUseTextAsHostName->setText(fromStd(advanced.HostName));
    ui.chkSaveNzbFile->setChecked(advanced.SaveNzbFile);
    updateEnabledStates();
}

void TfrmPreferences::FormToAdvanced(TAdvanced& advanced) const {
    const Ui::TfrmPreferences& ui = *m_ui;
    advanced.SaveLogFile = ui.chkSaveLogFile->isChecked();
    advanced.UseProjectNameAsLogFile = ui.chkUseProjectNameAsLogFile->isChecked();
    advanced.LogFile = ui.edtLogFile->text().toStdString();
    advanced.UseComputerNameAsHostName = ui.chkUseWindowsComputerNameAsHostName->isChecked();
    advanced.HostName = ui.edtUseTextAsHostName->text().toStdString();
    advanced.SaveNzbFile = ui.chkSaveNzbFile->isChecked();
}

void TfrmPreferences::btnOkClick() {
    Ui::TfrmPreferences& ui = *m_ui;
    const auto refuse = [&](std::string_view message, QWidget* edit) {
        m_context.prompts.error(message);
        ui.pgePreferences->setCurrentWidget(ui.tabAdvanced);
        edit->setFocus(Qt::OtherFocusReason);
    };
    if (ui.chkSaveLogFile->isChecked() && !ui.chkUseProjectNameAsLogFile->isChecked() &&
        ui.edtLogFile->text().isEmpty())
        return refuse("Invalid log file name", ui.edtLogFile);
    if (!ui.chkUseWindowsComputerNameAsHostName->isChecked() &&
        ui.edtUseTextAsHostName->text().isEmpty())
        return refuse("Invalid host name", ui.edtUseTextAsHostName);

    // Each save reports its own failure; the dialog closes anyway.
    TAdvanced& advanced = m_host.advancedSettings();
    FormToAdvanced(advanced);
    SaveAdvanced(advanced, m_context.store, m_context.prompts);
    TProject& project = m_host.defaultProject();
    FormToProject(project);
    project.Name = "Default";
    SaveProjectToRegistry(project, "Default", m_context.store, m_context.prompts);
    if (!SaveValueLists(formValueLists(), m_context.store))
        m_context.prompts.error("Unable to save lists to registry");
    accept();
}

void TfrmPreferences::done(int result) {
    handBack();
    QDialog::done(result);
}

void TfrmPreferences::handBack() {
    if (m_handedBack)
        return;
    m_handedBack = true;
    Ui::TfrmPreferences& ui = *m_ui;
    RecentLists recent;
    recent.Subjects = itemTexts(ui.cbxDefaultSubject);
    recent.FromNames = itemTexts(ui.cbxDefaultFromName);
    recent.FromEmailAddresses = itemTexts(ui.cbxDefaultFromEmailAddress);
    recent.ReplyToEmailAddresses = itemTexts(ui.cbxDefaultReplyToEmailAddress);
    recent.Organizations = itemTexts(ui.cbxDefaultOrganization);
    m_host.setRecentLists(recent);
    m_host.valueLists() = formValueLists();
    // The server list may have changed while the dialog was open.
    m_host.refreshServerBox();
}

// --- servers and newsgroups -----------------------------------------------------------------

QString TfrmPreferences::serverBoxText() const {
    return m_ui->cbxDefaultNewsgroupServer->currentText();
}

void TfrmPreferences::refreshServerBox() {
    const QString shown = serverBoxText();
    fillServerBox(shown);
    // A server that is gone takes its newsgroups with it, as choosing another one does.
    if (serverBoxText() != shown)
        cbxDefaultNewsgroupServerChange();
}

void TfrmPreferences::cbxDefaultNewsgroupServerChange() {
    const QString chosen = serverBoxText();
    m_ui->btnDefaultNewsgroups->setEnabled(!chosen.isEmpty());
    m_ui->lstDefaultNewsgroups->setEnabled(!chosen.isEmpty());
    // Newsgroups belong to a server: another server starts with none, and the saved server
    // brings the saved ones back. Server names are keys of the store, where letter case does
    // not tell two apart, so neither does this comparison.
    const TProject& project = m_host.defaultProject();
    if (chosen.compare(fromStd(project.Server.HostName), Qt::CaseInsensitive) == 0)
        m_defaultNewsgroups = toQStringList(project.Newsgroups);
    else
        m_defaultNewsgroups.clear();
    defaultNewsgroupsChanged();
    followupRule();
}

QStringList TfrmPreferences::targetNewsgroups() const {
    return m_defaultNewsgroups;
}

void TfrmPreferences::setTargetNewsgroups(const QStringList& groups) {
    m_defaultNewsgroups = groups;
    defaultNewsgroupsChanged();
}

void TfrmPreferences::defaultNewsgroupsChanged() {
    TVListBox& view = *m_ui->lstDefaultNewsgroups;
    view.Selections().Clear();
    view.SetRowCount(int(m_defaultNewsgroups.size()));
    view.Refresh();
}

void TfrmPreferences::followupRule() {
    QComboBox* box = m_ui->cbxDefaultFollowupTo;
    setSortedItems(box, m_defaultNewsgroups);
    if (!hasItemIgnoringCase(box, box->currentText()))
        box->clearEditText();
}

void TfrmPreferences::btnDefaultNewsgroupServerClick() {
    // The list selects the main window's server; closing it refreshes both server boxes.
    TfrmNewsgroupServers servers(m_context, m_host, this, this);
    servers.exec();
}

void TfrmPreferences::btnDefaultNewsgroupsClick() {
    // The selection dialog edits the default newsgroups through setTargetNewsgroups.
    TfrmNewsgroups newsgroups(m_context, serverBoxText(), *this, this);
    newsgroups.exec();
    followupRule();
}

// --- header drop-downs and enabling rules ---------------------------------------------------

void TfrmPreferences::defaultDropDownExit(QComboBox* box) {
    if (!rememberEditText(box))
        return;
    // The From and Reply-To addresses offer the same addresses.
    QComboBox* from = m_ui->cbxDefaultFromEmailAddress;
    QComboBox* replyTo = m_ui->cbxDefaultReplyToEmailAddress;
    if (box == from)
        setSortedItems(replyTo, itemTexts(from));
    else if (box == replyTo)
        setSortedItems(from, itemTexts(replyTo));
}

std::array<TfrmPreferences::RandomizeControls, 6> TfrmPreferences::randomizeSwitches() const {
    const Ui::TfrmPreferences& ui = *m_ui;
    return {{
        {ui.chkDefaultRandomizeSubject, ui.cbxDefaultSubject, ui.lblDefaultSubject},
        {ui.chkDefaultRandomizeFromName, ui.cbxDefaultFromName, ui.lblDefaultFromName},
        {ui.chkDefaultRandomizeFromEmailAddress, ui.cbxDefaultFromEmailAddress,
         ui.lblDefaultFromEmailAddress},
        {ui.chkDefaultRandomizeReplyToEmailAddress, ui.cbxDefaultReplyToEmailAddress,
         ui.lblDefaultReplyToEmailAddress},
        {ui.chkDefaultRandomizeOrganization, ui.cbxDefaultOrganization, ui.lblDefaultOrganization},
        {ui.chkDefaultRandomizeFollowupTo, ui.cbxDefaultFollowupTo, ui.lblDefaultFollowupTo},
    }};
}

void TfrmPreferences::randomizeClick(const RandomizeControls& controls) {
    const bool typed = !controls.check->isChecked();
    controls.box->setEnabled(typed);
    controls.label->setEnabled(typed);
}

void TfrmPreferences::chkDefaultCrosspostClick() {
    const bool on = m_ui->chkDefaultCrosspost->isChecked();
    m_ui->chkDefaultLimitCrossposting->setEnabled(on);
    m_ui->spnDefaultCrosspostingLimit->setEnabled(on);
    m_ui->lblDefaultCrosspostingLimit->setEnabled(on);
}

void TfrmPreferences::chkDefaultSplitUpMessagesClick() {
    const bool on = m_ui->chkDefaultSplitUpMessages->isChecked();
    m_ui->spnDefaultMessageSize->setEnabled(on);
    m_ui->lblDefaultSplitUpMessages->setEnabled(on);
}

void TfrmPreferences::chkSaveLogFileClick() {
    m_ui->chkUseProjectNameAsLogFile->setEnabled(m_ui->chkSaveLogFile->isChecked());
}

void TfrmPreferences::chkUseProjectNameAsLogFileClick() {
    const bool own = !m_ui->chkUseProjectNameAsLogFile->isChecked();
    m_ui->edtLogFile->setEnabled(own);
    m_ui->btnLogFileName->setEnabled(own);
}

void TfrmPreferences::chkUseWindowsComputerNameAsHostNameClick() {
    const bool own = !m_ui->chkUseWindowsComputerNameAsHostName->isChecked();
    m_ui->edtUseTextAsHostName->setEnabled(own);
    m_ui->lblUseTextAsHostName->setEnabled(own);
    // Also when switched off: the computer's name is where the user's own name starts from.
    m_ui->edtUseTextAsHostName->setText(fromStd(m_computerHostName));
}

void TfrmPreferences::updateEnabledStates() {
    Ui::TfrmPreferences& ui = *m_ui;
    for (const RandomizeControls& r : randomizeSwitches())
        randomizeClick(r);
    chkDefaultCrosspostClick();
    chkDefaultSplitUpMessagesClick();
    chkSaveLogFileClick();
    chkUseProjectNameAsLogFileClick();
    const bool ownHostName = !ui.chkUseWindowsComputerNameAsHostName->isChecked();
    ui.edtUseTextAsHostName->setEnabled(ownHostName);
    ui.lblUseTextAsHostName->setEnabled(ownHostName);
}

bool TfrmPreferences::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // Opening the box's own list or completion takes the focus only for a moment.
        auto* box = qobject_cast<QComboBox*>(watched);
        if (box && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
            defaultDropDownExit(box);
    } else if (event->type() == QEvent::KeyPress) {
        if (auto* list = qobject_cast<QWidget*>(watched); list && listKeyPress(list, event))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}
