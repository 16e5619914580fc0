#pragma once

#include "compose/identity.h"
#include "gui/dialog_hosts.h"
#include "gui/gui_context.h"
#include "gui/main_window_rules.h"
#include "model/advanced.h"
#include "model/advanced_storage.h"
#include "model/project.h"
#include "posting/nntp.h"
#include "posting/posting_session.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

namespace Ui {
class TfrmKavrin;
class MessagePage;
class NewsgroupsPage;
class AttachmentsPage;
class OptionsPage;
class ProgressPage;
}  // namespace Ui

class EncodeProgress;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QWidget;
class TFileDrag;
class THoverPictures;
class TMySpeedButton;

// The program's main window: the editor of one posting project, its commands, and the window
// side of a posting session. It owns the run's program-wide objects: the current and default
// projects, the newsgroup display list, the value lists, the MIME record and the NNTP client.
//
// Building it runs the start of the program: the recently used lists, the server box, the
// first-run questions on a store without a "Default" project, and the choice of the project
// shown (the command line's project file, else "Last", else an "Untitled" copy of "Default").
// Closing it asks about unsaved work and stores the session's state.
class TfrmKavrin : public QMainWindow,
                   public PreferencesHost,
                   public NewsgroupTarget,
                   public PostingObserver {
    Q_OBJECT

public:
    // arguments are the command line's operands (without the program's name); the first may
    // name a project file.
    TfrmKavrin(GuiContext& context, TAdvanced& advanced, ValueLists lists, QStringList arguments,
               QWidget* parent = nullptr);
    ~TfrmKavrin() override;

    const TProject& currentProject() const { return m_project; }
    // The splash window to close two seconds after this window is first shown.
    void setSplash(QWidget* splash);

    // The saving steps of closing without closing: the window's fields stored as "Last", the
    // recently used lists and the value lists written. For a session manager's logout and for
    // SIGTERM or SIGHUP. With mayAsk, unsaved work is asked about as on closing (false when
    // the user cancelled); without, a changed project is stored as an "Untitled" one, as a No
    // to that question would do, so "Last" never claims to be a file it differs from.
    bool saveSessionState(bool mayAsk);
    // SIGTERM or SIGHUP: the session stored without a question, a running posting stopped, and
    // the window closed (closed() ends the program).
    void endOnSignal();

    // The commands, as their menu items run them.
    void mniFileNewProjectClick();
    void mniFileOpenProjectClick();
    void mniFileSaveProjectClick();
    void mniFileSaveProjectAsClick();
    void mniFilePostItClick();
    void btnStopPostingClick();
    void mniFileAddFilesToListClick();
    void mniFileSelectSignatureFileClick();
    void btnMessageClick();
    void btnNewsgroupsClick();
    void btnNewsgroupServerClick();
    void mniEditPreferencesClick();

    // ServerBoxHost.
    QString serverBoxText() const override;
    void refreshServerBox() override;
    // PreferencesHost.
    RecentLists recentLists() const override;
    void setRecentLists(const RecentLists& lists) override;
    ValueLists& valueLists() override { return m_lists; }
    TProject& defaultProject() override { return m_default; }
    TAdvanced& advancedSettings() override { return m_advanced; }
    // NewsgroupTarget.
    QStringList targetNewsgroups() const override { return m_newsgroups; }
    void setTargetNewsgroups(const QStringList& groups) override;

    // PostingObserver.
    void MemoLine(const QString& line) override;
    void StatusText(const QString& text) override;
    void ProgressValue(int percent) override;
    void BusyCursor(bool on) override;
    void PostingCommands(bool posting) override;

signals:
    // The window has closed for good: the program ends with it, whatever other windows (the
    // help window) are still open.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Start and end (main_window.cpp).
    void buildCommands();
    void buildPopupMenus();
    void buildDropTargets();
    void connectFields();
    void FormCreate();
    void firstRun();
    void chooseCurrentProject();
    void FormShow();
    void FormClose();
    void tmrTimerTimer();
    void UpdateTitle();
    void fillServerBox(const QString& select);
    void mniHelpContentsClick();
    void mniHelpHowToUseHelpClick();
    void mniHelpAboutClick();
    void openPreferences();
    void openServerList();

    // Projects (main_window_project.cpp).
    ProjectForm readForm() const;
    void writeForm(const ProjectForm& form);
    void ProjectToForm(TProject& project);
    void FormToProject(TProject& project);
    bool ProjectChanged() const;
    // The save question when the project changed, Yes saving first; Ok when nothing was asked.
    PromptAnswer askToSave();
    bool FormCloseQuery();
    void saveToChosenFile(const QString& startPath);
    QString projectFolder() const;

    // Field editing (main_window_fields.cpp).
    void edtChange();
    void updateOptionStates();
    void randomizeClick(QCheckBox* box, const std::vector<std::string>& list, const char* question);
    void randomizeToggled(QCheckBox* box, QLabel* label, QComboBox* field);
    void recentExit(QComboBox* box);
    void cbxNewsgroupServerChange(bool atShow = false);
    void showNewsgroups(const QStringList& groups);
    void followUpItemsFromNewsgroups();
    void addAttachments(const QStringList& paths, bool skipFolders);
    void attachmentsChanged();
    void removeSelectedAttachments();
    void removeAllAttachments();
    void removeSelectedNewsgroups();
    void removeAllNewsgroups();
    void listCommand(QWidget* list, int command);
    void showListMenu(QWidget* list, const QPoint& pos);
    void showTextMenu(const QPoint& pos);
    QString chooseTextFile(const QString& title, const QString& startPath);
    void sysAttachmentsDrop();
    void sysSignatureFileDrop();
    void sysMessageDrop();
    void sysNewsgroupsDrop();

    // Posting (main_window_posting.cpp).
    void updateCommands();
    void flushMemo();

    GuiContext& m_context;
    TAdvanced& m_advanced;
    ValueLists m_lists;
    QStringList m_arguments;

    std::unique_ptr<Ui::TfrmKavrin> m_ui;
    std::unique_ptr<Ui::MessagePage> m_message;
    std::unique_ptr<Ui::NewsgroupsPage> m_newsgroupsPage;
    std::unique_ptr<Ui::AttachmentsPage> m_attachments;
    std::unique_ptr<Ui::OptionsPage> m_options;
    std::unique_ptr<Ui::ProgressPage> m_progress;

    TProject m_project;
    TProject m_default;
    // The newsgroup display list behind lstNewsgroups.
    QStringList m_newsgroups;
    // The run's MIME record, made before any random pick.
    TMIME m_mime;
    TNNTP m_nntp;
    TPostingSession m_session;
    std::unique_ptr<EncodeProgress> m_encodeProgress;

    TMySpeedButton* m_btnNewProject = nullptr;
    TMySpeedButton* m_btnOpenProject = nullptr;
    TMySpeedButton* m_btnSaveProject = nullptr;
    TMySpeedButton* m_btnPostIt = nullptr;
    TMySpeedButton* m_btnPreferences = nullptr;
    TMySpeedButton* m_btnHelp = nullptr;
    TMySpeedButton* m_btnAbout = nullptr;
    QButtonGroup* m_encoding = nullptr;
    QLabel* m_statusPanel = nullptr;
    QMenu* m_pumListItems = nullptr;
    QMenu* m_pumText = nullptr;
    QWidget* m_popupList = nullptr;
    TFileDrag* m_sysAttachments = nullptr;
    TFileDrag* m_sysSignatureFile = nullptr;
    TFileDrag* m_sysMessage = nullptr;
    TFileDrag* m_sysNewsgroups = nullptr;

    QTimer m_tmrTimer;
    // Memo lines not yet shown, and the timer that shows them.
    QStringList m_memoPending;
    QTimer m_memoFlush;
    QPointer<QWidget> m_splash;
    QString m_startNote;
    // Where the text file and attachment dialogs were last used.
    QString m_textFolder;
    QString m_attachmentFolder;
    QString m_projectFolder;
    bool m_shown = false;
    bool m_posting = false;
    bool m_busy = false;
    bool m_postItEnabled = false;
    bool m_closeAfterPosting = false;
    bool m_closed = false;
};
