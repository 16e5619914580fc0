#include "gui/main_window.h"

#include "gui/about_dialog.h"
#include "gui/accessibility.h"
#include "gui/button_pictures.h"
#include "gui/contact.h"
#include "gui/encode_progress_view.h"
#include "gui/help_window.h"
#include "gui/list_items.h"
#include "gui/newsgroup_servers_dialog.h"
#include "gui/preferences_dialog.h"
#include "gui/string_lists.h"
#include "model/program_start.h"
#include "model/project_storage.h"
#include "model/server_storage.h"
#include "platform/text.h"
#include "ui_attachments_page.h"
#include "ui_main_window.h"
#include "ui_message_page.h"
#include "ui_newsgroups_page.h"
#include "ui_options_page.h"
#include "ui_progress_page.h"
#include "widgets/file_drag.h"
#include "widgets/speed_button.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QShowEvent>
#include <QStatusBar>
#include <QToolBar>

namespace {

// The window's two image lists, one per size: the tool bar's and the pages' buttons. Glyph k of
// a list is Tag 2k (normal) and 2k + 1 (under the pointer). Each list draws only its own glyphs,
// as drawing them is a good part of the window's start.
enum ToolBarTag {
    tagNew = 0,
    tagOpen = 2,
    tagSave = 4,
    tagPost = 6,
    tagPreferences = 8,
    tagHelp = 10,
    tagAbout = 12,
};
enum PageTag {
    tagServer = 0,
    tagNewsgroups = 2,
    tagAttach = 4,
    tagMessage = 6,
    tagSignature = 8,
    tagStop = 10,
};

QStringList toolBarGlyphs() {
    return {QStringLiteral("new"),  QStringLiteral("open"),        QStringLiteral("save"),
            QStringLiteral("post"), QStringLiteral("preferences"), QStringLiteral("help"),
            QStringLiteral("about")};
}

QStringList pageGlyphs() {
    return {QStringLiteral("server"),  QStringLiteral("newsgroups"), QStringLiteral("attach"),
            QStringLiteral("message"), QStringLiteral("signature"),  QStringLiteral("stop")};
}

constexpr int kToolBarGlyph = 24;
constexpr int kPageGlyph = 16;
constexpr int kSplashMs = 2000;
constexpr int kStatusPanelWidth = 200;
constexpr int kMemoFlushMs = 250;

}  // namespace

TfrmKavrin::TfrmKavrin(GuiContext& context, TAdvanced& advanced, ValueLists lists,
                       QStringList arguments, QWidget* parent)
    : QMainWindow(parent),
      m_context(context),
      m_advanced(advanced),
      m_lists(std::move(lists)),
      m_arguments(std::move(arguments)),
      m_ui(std::make_unique<Ui::TfrmKavrin>()),
      m_message(std::make_unique<Ui::MessagePage>()),
      m_newsgroupsPage(std::make_unique<Ui::NewsgroupsPage>()),
      m_attachments(std::make_unique<Ui::AttachmentsPage>()),
      m_options(std::make_unique<Ui::OptionsPage>()),
      m_progress(std::make_unique<Ui::ProgressPage>()),
      m_session(m_nntp, context.nntpJob, advanced, context.prompts, *this) {
    m_nntp.setObjectName(QStringLiteral("ocxNNTP"));
    m_nntp.ExtraCaFile = context.extraCaFile;
    m_ui->setupUi(this);
    m_message->setupUi(m_ui->tabMessage);
    m_newsgroupsPage->setupUi(m_ui->tabNewsgroups);
    m_attachments->setupUi(m_ui->tabAttachments);
    m_options->setupUi(m_ui->tabOptions);
    m_progress->setupUi(m_ui->tabProgress);
    // Usenet text is read in fixed-width fonts; the editor shows how lines will line up.
    m_message->mmoMessage->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_encodeProgress = std::make_unique<EncodeProgressView>(
        m_progress->pnlEncode, m_progress->lblEncode, m_progress->barEncode);

    nameControlsByTheirLabels(this);
    buildCommands();
    buildPopupMenus();
    buildDropTargets();
    connectFields();
    FormCreate();
}

TfrmKavrin::~TfrmKavrin() = default;

void TfrmKavrin::buildCommands() {
    auto* pageHover = new THoverPictures(buttonPictures(pageGlyphs(), kPageGlyph), this);
    auto* barHover = new THoverPictures(buttonPictures(toolBarGlyphs(), kToolBarGlyph), this);

    // A tool button runs its menu item, so both do the same whichever is used.
    const auto toolButton = [&](const char* name, const QString& text, int tag, QAction* action) {
        auto* button = new TMySpeedButton(m_ui->barCool);
        button->setObjectName(QString::fromLatin1(name));
        button->setText(text);
        button->setToolTip(action->toolTip().isEmpty() ? text : action->toolTip());
        button->setIconSize(QSize(kToolBarGlyph, kToolBarGlyph));
        button->SetTag(tag);
        barHover->Attach(button);
        connect(button, &QToolButton::clicked, action, &QAction::trigger);
        m_ui->barCool->addWidget(button);
        return button;
    };
    m_btnNewProject =
        toolButton("btnNewProject", QStringLiteral("New"), tagNew, m_ui->mniFileNewProject);
    m_btnOpenProject =
        toolButton("btnOpenProject", QStringLiteral("Open"), tagOpen, m_ui->mniFileOpenProject);
    m_btnSaveProject =
        toolButton("btnSaveProject", QStringLiteral("Save"), tagSave, m_ui->mniFileSaveProject);
    m_ui->barCool->addSeparator();
    m_btnPostIt = toolButton("btnPostIt", QStringLiteral("Post It!"), tagPost, m_ui->mniFilePostIt);
    m_ui->barCool->addSeparator();
    m_btnPreferences = toolButton("btnPreferences", QStringLiteral("Preferences"), tagPreferences,
                                  m_ui->mniEditPreferences);
    m_ui->barCool->addSeparator();
    m_btnHelp = toolButton("btnHelp", QStringLiteral("Help"), tagHelp, m_ui->mniHelpContents);
    m_btnAbout = toolButton("btnAbout", QStringLiteral("About"), tagAbout, m_ui->mniHelpAbout);

    const auto pageButton = [&](TMySpeedButton* button, int tag) {
        button->setIconSize(QSize(kPageGlyph, kPageGlyph));
        button->SetTag(tag);
        button->setAccessibleDescription(button->toolTip());
        pageHover->Attach(button);
    };
    pageButton(m_message->btnNewsgroupServer, tagServer);
    pageButton(m_message->btnMessage, tagMessage);
    pageButton(m_message->btnSignatureFile, tagSignature);
    pageButton(m_newsgroupsPage->btnNewsgroups, tagNewsgroups);
    pageButton(m_attachments->btnAttachments, tagAttach);
    pageButton(m_progress->btnStopPosting, tagStop);

    m_statusPanel = new QLabel(this);
    m_statusPanel->setObjectName(QStringLiteral("pnlStatus"));
    m_statusPanel->setAccessibleName(QStringLiteral("Connection"));
    m_statusPanel->setMinimumWidth(kStatusPanelWidth);
    m_ui->barStatus->addPermanentWidget(m_statusPanel);

    connect(m_ui->mniFileNewProject, &QAction::triggered, this,
            &TfrmKavrin::mniFileNewProjectClick);
    connect(m_ui->mniFileOpenProject, &QAction::triggered, this,
            &TfrmKavrin::mniFileOpenProjectClick);
    connect(m_ui->mniFileSaveProject, &QAction::triggered, this,
            &TfrmKavrin::mniFileSaveProjectClick);
    connect(m_ui->mniFileSaveProjectAs, &QAction::triggered, this,
            &TfrmKavrin::mniFileSaveProjectAsClick);
    connect(m_ui->mniFilePostIt, &QAction::triggered, this, &TfrmKavrin::mniFilePostItClick);
    connect(m_ui->mniFileAddFilesToList, &QAction::triggered, this,
            &TfrmKavrin::mniFileAddFilesToListClick);
    connect(m_ui->mniFileRemoveSelectedFilesFromList, &QAction::triggered, this,
            &TfrmKavrin::removeSelectedAttachments);
    connect(m_ui->mniFileRemoveAllFilesFromList, &QAction::triggered, this,
            &TfrmKavrin::removeAllAttachments);
    connect(m_ui->mniFileSelectSignatureFile, &QAction::triggered, this,
            &TfrmKavrin::mniFileSelectSignatureFileClick);
    connect(m_ui->mniFileExit, &QAction::triggered, this, &QWidget::close);
    connect(m_ui->mniEditNewsgroupServers, &QAction::triggered, this,
            &TfrmKavrin::btnNewsgroupServerClick);
    connect(m_ui->mniEditNewsgroups, &QAction::triggered, this, &TfrmKavrin::btnNewsgroupsClick);
    connect(m_ui->mniEditPreferences, &QAction::triggered, this,
            &TfrmKavrin::mniEditPreferencesClick);
    connect(m_ui->mniHelpContents, &QAction::triggered, this, &TfrmKavrin::mniHelpContentsClick);
    connect(m_ui->mniHelpHowToUseHelp, &QAction::triggered, this,
            &TfrmKavrin::mniHelpHowToUseHelpClick);
    connect(m_ui->mniHelpAbout, &QAction::triggered, this, &TfrmKavrin::mniHelpAboutClick);

    connect(m_message->btnNewsgroupServer, &QToolButton::clicked, this,
            &TfrmKavrin::btnNewsgroupServerClick);
    connect(m_message->btnMessage, &QToolButton::clicked, this, &TfrmKavrin::btnMessageClick);
    connect(m_message->btnSignatureFile, &QToolButton::clicked, m_ui->mniFileSelectSignatureFile,
            &QAction::trigger);
    connect(m_newsgroupsPage->btnNewsgroups, &QToolButton::clicked, this,
            &TfrmKavrin::btnNewsgroupsClick);
    connect(m_attachments->btnAttachments, &QToolButton::clicked, m_ui->mniFileAddFilesToList,
            &QAction::trigger);
    connect(m_progress->btnStopPosting, &QToolButton::clicked, this,
            &TfrmKavrin::btnStopPostingClick);

    // The Contact entries show the addresses they open; an address the build left empty has
    // no entry, and without either the submenu is left out.
    m_ui->mniHelpHTTP->setText(webAddress());
    m_ui->mniHelpHTTP->setVisible(!webAddress().isEmpty());
    m_ui->mniHelpSMTP->setText(mailAddress());
    m_ui->mniHelpSMTP->setVisible(!mailAddress().isEmpty());
    m_ui->mniHelpContactPellidoSoftware->menuAction()->setVisible(!webAddress().isEmpty() ||
                                                                  !mailAddress().isEmpty());
    connect(m_ui->mniHelpHTTP, &QAction::triggered, this,
            [this] { openWebAddress(m_context.prompts); });
    connect(m_ui->mniHelpSMTP, &QAction::triggered, this,
            [this] { openMailAddress(m_context.prompts); });

    m_memoFlush.setSingleShot(true);
    m_memoFlush.setInterval(kMemoFlushMs);
    connect(&m_memoFlush, &QTimer::timeout, this, &TfrmKavrin::flushMemo);

    m_tmrTimer.setObjectName(QStringLiteral("tmrTimer"));
    m_tmrTimer.setSingleShot(true);
    m_tmrTimer.setInterval(kSplashMs);
    connect(&m_tmrTimer, &QTimer::timeout, this, &TfrmKavrin::tmrTimerTimer);
}

void TfrmKavrin::FormCreate() {
    SettingsStore& store = m_context.store;
    ValueLists recent;
    LoadRecentLists(recent, store);
    RecentLists boxes;
    boxes.Subjects = toQStringList(recent.Subjects);
    boxes.FromNames = toQStringList(recent.Names);
    boxes.FromEmailAddresses = toQStringList(recent.EmailAddresses);
    boxes.ReplyToEmailAddresses = boxes.FromEmailAddresses;
    boxes.Organizations = toQStringList(recent.Organizations);
    setRecentLists(boxes);

    fillServerBox(QString());
    if (!store.keyExists(projectKeyPath("Default")))
        firstRun();
    LoadProjectFromRegistry(m_default, "Default", store, m_context.prompts);
    chooseCurrentProject();
    ProjectToForm(m_project);
    if (!m_startNote.isEmpty())
        m_ui->barStatus->showMessage(m_startNote);
}

void TfrmKavrin::firstRun() {
    if (m_context.prompts.confirm("Would you like to set up a newsgroup server now?") ==
        PromptAnswer::Yes)
        openServerList();
    m_default = TProject::FirstStartDefault();
    // The preferences dialog edits the first-run default and saves it on OK; a No stores it
    // as it stands.
    if (m_context.prompts.confirm("Would you like to set up project preferences now?") ==
        PromptAnswer::Yes)
        openPreferences();
    else
        SaveProjectToRegistry(m_default, "Default", m_context.store, m_context.prompts);
}

void TfrmKavrin::chooseCurrentProject() {
    SettingsStore& store = m_context.store;
    const StartProjectFile named = startProjectFile(m_arguments);
    m_startNote = named.Note;
    if (!named.File.isEmpty()) {
        LoadNamedProjectFile(m_project, named.File.toStdString(), store, m_context.prompts);
        return;
    }
    if (store.keyExists(projectKeyPath("Last"))) {
        LoadProjectFromRegistry(m_project, "Last", store, m_context.prompts);
        return;
    }
    LoadProjectFromRegistry(m_project, "Default", store, m_context.prompts);
    m_project.Name = "Untitled";
}

void TfrmKavrin::setSplash(QWidget* splash) {
    m_splash = splash;
}

void TfrmKavrin::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_shown && !event->spontaneous()) {
        m_shown = true;
        FormShow();
    }
}

void TfrmKavrin::FormShow() {
    m_tmrTimer.start();
    cbxNewsgroupServerChange(true);
}

void TfrmKavrin::tmrTimerTimer() {
    if (m_splash)
        m_splash->close();
    m_tmrTimer.stop();
}

void TfrmKavrin::closeEvent(QCloseEvent* event) {
    if (m_closed) {
        event->accept();
        return;
    }
    // A posting refers to the window's objects: it is stopped first, and the window closes
    // when the session has ended.
    if (m_session.Running()) {
        event->ignore();
        m_session.RequestStop();
        if (m_session.Result().Stopped)
            m_closeAfterPosting = true;
        return;
    }
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TfrmKavrin::FormClose() {
    saveSessionState(false);
    if (m_nntp.State() != nsDisconnected && m_nntp.State() != nsNone)
        m_nntp.Quit();
    m_context.nntpJob.Value = jobNothing;
    m_closed = true;
    emit closed();
}

bool TfrmKavrin::saveSessionState(bool mayAsk) {
    if (mayAsk && !FormCloseQuery())
        return false;
    if (!mayAsk && ProjectChanged())
        m_project.Name = "Untitled";
    SettingsStore& store = m_context.store;
    FormToProject(m_project);
    SaveProjectToRegistry(m_project, "Last", store, m_context.prompts);

    const RecentLists boxes = recentLists();
    ValueLists recent;
    recent.Subjects = toStdLines(boxes.Subjects);
    recent.Names = toStdLines(boxes.FromNames);
    recent.EmailAddresses = toStdLines(boxes.FromEmailAddresses);
    recent.Organizations = toStdLines(boxes.Organizations);
    if (!SaveRecentLists(recent, store) || !SaveValueLists(m_lists, store))
        m_context.prompts.error("Unable to save lists to registry");
    return true;
}

void TfrmKavrin::endOnSignal() {
    if (m_closed)
        return;
    saveSessionState(false);
    m_closed = true;
    // A running posting is stopped; the window closes when its session has ended.
    if (m_session.Running()) {
        m_closeAfterPosting = true;
        m_session.StopNow();
        return;
    }
    close();
    emit closed();
}

void TfrmKavrin::UpdateTitle() {
    if (m_project.Name.empty())
        m_project.Name = "Untitled";
    setWindowTitle(windowTitleFor(QString::fromStdString(m_project.Name)));
}

void TfrmKavrin::fillServerBox(const QString& select) {
    QComboBox* box = m_message->cbxNewsgroupServer;
    const QSignalBlocker quiet(box);
    box->clear();
    box->addItems(toQStringList(serverNames(m_context.store)));
    box->setCurrentIndex(select.isEmpty() ? -1 : box->findText(select, Qt::MatchFixedString));
}

QString TfrmKavrin::serverBoxText() const {
    return m_message->cbxNewsgroupServer->currentText();
}

void TfrmKavrin::refreshServerBox() {
    fillServerBox(serverBoxText());
    updateCommands();
    edtChange();
}

RecentLists TfrmKavrin::recentLists() const {
    RecentLists lists;
    lists.Subjects = itemTexts(m_message->cbxSubject);
    lists.FromNames = itemTexts(m_message->cbxFromName);
    lists.FromEmailAddresses = itemTexts(m_message->cbxFromEmailAddress);
    lists.ReplyToEmailAddresses = itemTexts(m_message->cbxReplyToEmailAddress);
    lists.Organizations = itemTexts(m_message->cbxOrganization);
    return lists;
}

void TfrmKavrin::setRecentLists(const RecentLists& lists) {
    // The boxes keep what is typed in them; only their items change, kept sorted.
    setSortedItems(m_message->cbxSubject, lists.Subjects);
    setSortedItems(m_message->cbxFromName, lists.FromNames);
    setSortedItems(m_message->cbxFromEmailAddress, lists.FromEmailAddresses);
    setSortedItems(m_message->cbxReplyToEmailAddress, lists.ReplyToEmailAddresses);
    setSortedItems(m_message->cbxOrganization, lists.Organizations);
}

void TfrmKavrin::mniHelpContentsClick() {
    showHelp(HelpPage::Contents);
}

void TfrmKavrin::mniHelpHowToUseHelpClick() {
    showHelp(HelpPage::HelpWindow);
}

void TfrmKavrin::mniHelpAboutClick() {
    TfrmAbout about(m_context, this);
    about.exec();
}

void TfrmKavrin::openServerList() {
    // Closing the list refreshes the server box.
    TfrmNewsgroupServers servers(m_context, *this, nullptr, this);
    servers.exec();
}

void TfrmKavrin::openPreferences() {
    TfrmPreferences preferences(m_context, *this, this);
    preferences.exec();
}
