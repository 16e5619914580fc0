#include "gui/preferences_dialog.h"

#include "gui/help_window.h"
#include "gui/newsgroup_servers_dialog.h"
#include "gui/newsgroups_dialog.h"

#include "model/advanced_storage.h"
#include "model/project_storage.h"
#include "model/server_storage.h"
#include "platform/file_settings_store.h"
#include "support/file_size_limit.h"
#include "support/gui_test.h"
#include "support/recording_file_chooser.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"
#include "widgets/speed_button.h"
#include "widgets/vlistbox.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// What the main window hands the dialog, and what it gets back.
class FakePreferencesHost : public PreferencesHost {
public:
    QString serverBoxText() const override { return QStringLiteral("news.main"); }
    void refreshServerBox() override { ++refreshes; }
    RecentLists recentLists() const override { return recent; }
    void setRecentLists(const RecentLists& lists) override { recent = lists; }
    ValueLists& valueLists() override { return lists; }
    TProject& defaultProject() override { return project; }
    TAdvanced& advancedSettings() override { return advanced; }

    int refreshes = 0;
    RecentLists recent;
    ValueLists lists;
    TProject project = TProject::FirstStartDefault();
    TAdvanced advanced;
};

QStringList rowsOf(TVListBox* view, const QStringList& list) {
    QStringList rows;
    for (int i = 0; i < view->RowCount(); ++i)
        rows.append(TVListBox::ItemOf(list, i));
    return rows;
}

class PreferencesDialog : public ::testing::Test {
protected:
    PreferencesDialog() { host.advanced.HostName = GetComputerHostName(); }

    void open() {
        dialog = std::make_unique<TfrmPreferences>(context, host);
        dialog->open();
    }

    template <class T>
    T* control(const char* name) {
        return findControl<T>(dialog.get(), QString::fromLatin1(name));
    }
    TMySpeedButton* button(const char* name) { return control<TMySpeedButton>(name); }
    QCheckBox* check(const char* name) { return control<QCheckBox>(name); }
    QComboBox* combo(const char* name) { return control<QComboBox>(name); }
    QLineEdit* edit(const char* name) { return control<QLineEdit>(name); }
    QListWidget* list(const char* name) { return control<QListWidget>(name); }
    TVListBox* newsgroups() { return control<TVListBox>("lstDefaultNewsgroups"); }
    QStringList newsgroupRows() { return rowsOf(newsgroups(), dialog->targetNewsgroups()); }

    QStringList items(const char* name) {
        QStringList texts;
        if (auto* l = dialog->findChild<QListWidget*>(QString::fromLatin1(name))) {
            for (int i = 0; i < l->count(); ++i)
                texts.append(l->item(i)->text());
        } else if (auto* c = combo(name)) {
            for (int i = 0; i < c->count(); ++i)
                texts.append(c->itemText(i));
        }
        return texts;
    }

    void addServer(const std::string& host) {
        TServer server;
        server.HostName = host;
        server.Port = 119;
        ASSERT_TRUE(SaveServer(server, store, prompts));
    }

    // A project with its newsgroups on a stored server.
    void projectOn(const std::string& server, const std::string& groups) {
        addServer(server);
        host.project.Server.HostName = server;
        host.project.SetNewsgroupsText(groups);
    }

    QString file(const std::string& name, std::string_view content) {
        writeFile(dir / name, content);
        return QString::fromStdString((dir / name).string());
    }

    std::string settingsFile() {
        const auto path = dir / "settings.reg";
        return std::filesystem::exists(path) ? readFile(path) : std::string();
    }

    void activate() {
        showAndWait(dialog.get());
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }

    TempDir dir;
    RecordingPrompts prompts;
    FileSettingsStore store{dir / "settings.reg", &prompts};
    RecordingFileChooser files;
    TNNTPJob job;
    GuiContext context{store, prompts, files, job, dir.path(), {}};
    FakePreferencesHost host;
    std::unique_ptr<TfrmPreferences> dialog;
};

TEST_F(PreferencesDialog, OkRefusesAMissingLogFileOrHostNameAndSavesNothing) {
    struct Case {
        const char* name;
        std::function<void()> setUp;
        std::string message;
        const char* edit;
    };
    const Case cases[] = {
        {"log file",
         [&] {
             check("chkSaveLogFile")->setChecked(true);
             check("chkUseProjectNameAsLogFile")->setChecked(false);
             edit("edtLogFile")->clear();
         },
         "Invalid log file name", "edtLogFile"},
        {"host name",
         [&] {
             check("chkUseWindowsComputerNameAsHostName")->setChecked(false);
             edit("edtUseTextAsHostName")->clear();
         },
         "Invalid host name", "edtUseTextAsHostName"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open();
        const TAdvanced before = host.advanced;
        c.setUp();
        prompts.clear();
        button("btnOk")->click();
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(prompts.shown().front().kind, PromptKind::Error);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(control<QTabWidget>("pgePreferences")->currentWidget()->objectName(),
                  QStringLiteral("tabAdvanced"));
        EXPECT_EQ(dialog->focusWidget(), edit(c.edit));
        EXPECT_EQ(settingsFile(), "");
        EXPECT_EQ(host.advanced.HostName, before.HostName);
        EXPECT_EQ(host.advanced.SaveLogFile, before.SaveLogFile);
        EXPECT_EQ(host.refreshes, 0);
    }
}

TEST_F(PreferencesDialog, OkSavesTheDefaultProjectTheAdvancedSettingsAndTheSortedLists) {
    projectOn("news.example", "alt.test\r\nalt.binaries.test\r\n");
    open();
    combo("cbxDefaultSubject")->setEditText(QStringLiteral("Weekly pictures"));
    combo("cbxDefaultFromName")->setEditText(QStringLiteral("Ann"));
    combo("cbxDefaultFromEmailAddress")->setEditText(QStringLiteral("ann@example.org"));
    combo("cbxDefaultOrganization")->setEditText(QStringLiteral("Club"));
    combo("cbxDefaultFollowupTo")->setCurrentIndex(1);
    check("chkDefaultXNoArchive")->setChecked(true);
    control<QPlainTextEdit>("mmoDefaultMessage")
        ->setPlainText(QStringLiteral("one\n\u00a0\nthree"));
    edit("edtDefaultSignatureFile")->setText(QStringLiteral("/home/ann/sig.txt"));
    files.answerNext(QStringList{QStringLiteral("/p/a.jpg"), QStringLiteral("/p/b.jpg")});
    button("btnDefaultAttachments")->click();
    check("chkDefaultRandomizeSubject")->setChecked(true);
    check("chkDefaultLimitCrossposting")->setChecked(true);
    control<QSpinBox>("spnDefaultCrosspostingLimit")->setValue(5);
    control<QRadioButton>("grpDefaultEncodingMethodItem1")->click();
    check("chkDefaultSplitUpMessages")->setChecked(true);
    control<QSpinBox>("spnDefaultMessageSize")->setValue(300);
    check("chkUseWindowsComputerNameAsHostName")->setChecked(false);
    edit("edtUseTextAsHostName")->setText(QStringLiteral("myhost"));
    check("chkSaveLogFile")->setChecked(true);
    check("chkUseProjectNameAsLogFile")->setChecked(false);
    edit("edtLogFile")->setText(QStringLiteral("/var/tmp/posting.log"));
    check("chkSaveNzbFile")->setChecked(true);
    for (const char* name : {"Zed", "amy", "Bob"}) {
        edit("edtAddFromName")->setText(QString::fromLatin1(name));
        button("btnAddFromName")->click();
    }
    button("btnOk")->click();

    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(prompts.texts().empty()) << prompts.texts().front();
    TProject saved;
    ASSERT_TRUE(LoadProjectFromRegistry(saved, "Default", store, prompts));
    EXPECT_EQ(saved.Name, "Default");
    EXPECT_EQ(saved.Server.HostName, "news.example");
    EXPECT_EQ(saved.Server.Port, 119);
    EXPECT_EQ(saved.Subject, "Weekly pictures");
    EXPECT_EQ(saved.FromName, "Ann");
    EXPECT_EQ(saved.FromEmailAddress, "ann@example.org");
    EXPECT_EQ(saved.ReplyToEmailAddress, "");
    EXPECT_EQ(saved.Organization, "Club");
    EXPECT_EQ(saved.FollowUpTo, "alt.test");  // the drop-down's items are sorted
    EXPECT_EQ(saved.XNoArchive, "Yes");
    EXPECT_EQ(saved.NewsgroupsText(), "alt.test\r\nalt.binaries.test\r\n");
    EXPECT_EQ(saved.Body, (std::vector<std::string>{"one", "\u00a0", "three"}));
    EXPECT_EQ(saved.SignatureFile, "/home/ann/sig.txt");
    EXPECT_EQ(saved.AttachmentsText, "/p/a.jpg\r\n/p/b.jpg\r\n");
    EXPECT_TRUE(saved.RandomizeSubject);
    EXPECT_FALSE(saved.RandomizeFromName);
    EXPECT_TRUE(saved.PostSeparateMessageForEachAttachedFile);
    EXPECT_TRUE(saved.Crosspost);
    EXPECT_TRUE(saved.LimitCrossposting);
    EXPECT_EQ(saved.CrosspostingLimit, 5);
    EXPECT_EQ(saved.EncodingMethod, kEncodingBase64);
    EXPECT_TRUE(saved.SplitLargeMessages);
    EXPECT_EQ(saved.SplitLines, 300);
    EXPECT_FALSE(saved.CutHere);
    EXPECT_EQ(host.project.Subject, "Weekly pictures");

    TAdvanced advanced;
    ASSERT_TRUE(LoadAdvanced(advanced, store, prompts, "computer"));
    EXPECT_TRUE(advanced.SaveLogFile);
    EXPECT_FALSE(advanced.UseProjectNameAsLogFile);
    EXPECT_EQ(advanced.LogFile, "/var/tmp/posting.log");
    EXPECT_FALSE(advanced.UseComputerNameAsHostName);
    EXPECT_EQ(advanced.HostName, "myhost");
    EXPECT_TRUE(advanced.SaveNzbFile);
    EXPECT_EQ(host.advanced.HostName, "myhost");
    // The caption speaks of the computer's name; the stored name stays the one files hold.
    EXPECT_EQ(check("chkUseWindowsComputerNameAsHostName")->text(),
              QStringLiteral("Use Computer Name as <hostname>"));
    EXPECT_EQ(store.valueNames("Advanced")[3], "Use Windows Computer Name As Host Name");

    ValueLists lists;
    ASSERT_TRUE(LoadValueLists(lists, store));
    EXPECT_EQ(lists.Names, (std::vector<std::string>{"amy", "Bob", "Zed"}));
    EXPECT_EQ(host.lists.Names, lists.Names);
    EXPECT_EQ(host.refreshes, 1);
}

// A full disk: every save says so, and the dialog still closes and hands the lists back.
TEST_F(PreferencesDialog, OkOnAFullDiskReportsEverySaveAndStillCloses) {
    open();
    edit("edtAddSubject")->setText(QStringLiteral("Kept in the window"));
    button("btnAddSubject")->click();
    {
        const FileSizeLimit full(1);
        button("btnOk")->click();
    }
    EXPECT_EQ(prompts.texts(),
              (std::vector<std::string>{"Unable to save advanced settings to registry",
                                        "Unable to save project to registry",
                                        "Unable to save lists to registry"}));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(host.lists.Subjects, std::vector<std::string>{"Kept in the window"});
}

TEST_F(PreferencesDialog, CancelSavesNothingYetTheMainWindowKeepsTheNewEntries) {
    host.lists.Names = {"carol"};
    host.recent.FromEmailAddresses = {QStringLiteral("old@example.org")};
    host.recent.ReplyToEmailAddresses = {QStringLiteral("old@example.org")};
    open();
    activate();
    edit("edtAddFromName")->setText(QStringLiteral("dave"));
    button("btnAddFromName")->click();
    // Leaving an address box offers the address in both.
    QComboBox* from = combo("cbxDefaultFromEmailAddress");
    from->setFocus();
    from->setEditText(QStringLiteral("new@example.org"));
    combo("cbxDefaultOrganization")->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return from->count() == 2; }, 1000));
    EXPECT_EQ(items("cbxDefaultReplyToEmailAddress"),
              (QStringList{QStringLiteral("new@example.org"), QStringLiteral("old@example.org")}));
    const std::string before = settingsFile();
    button("btnCancel")->click();

    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(settingsFile(), before);
    EXPECT_FALSE(store.keyExists("Lists"));
    EXPECT_EQ(host.lists.Names, (std::vector<std::string>{"carol", "dave"}));
    EXPECT_EQ(host.recent.FromEmailAddresses, host.recent.ReplyToEmailAddresses);
    EXPECT_EQ(host.recent.FromEmailAddresses.size(), 2);
    EXPECT_EQ(host.project.FromEmailAddress, "");
    EXPECT_EQ(host.refreshes, 1);
}

TEST_F(PreferencesDialog, TheHostNameKeepsLettersDigitsDashAndUnderscoreHoweverItIsEntered) {
    struct Case {
        const char* name;
        std::function<void(QLineEdit*)> enter;
        QString expected;
    };
    const Case cases[] = {
        {"typed", [](QLineEdit* e) { typeText(e, QStringLiteral("my host!")); },
         QStringLiteral("my_host")},
        {"pasted",
         [](QLineEdit* e) {
             typeText(e, QStringLiteral("ab"));
             pressKey(e, Qt::Key_Left);
             QApplication::clipboard()->setText(QStringLiteral("x.y z!\u00e9-9"));
             pressKey(e, Qt::Key_V, Qt::ControlModifier);
             typeText(e, QStringLiteral("Q"));  // where the paste left the cursor
         },
         QStringLiteral("axy_z-9Qb")},
        {"dropped",
         [](QLineEdit* e) {
             QMimeData text;
             text.setText(QStringLiteral("mail.example.org"));
             dropOn(e, text);
         },
         QStringLiteral("mailexampleorg")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open();
        activate();
        check("chkUseWindowsComputerNameAsHostName")->setChecked(false);
        QLineEdit* hostName = edit("edtUseTextAsHostName");
        EXPECT_EQ(hostName->text(), QString::fromStdString(GetComputerHostName()));
        hostName->clear();
        hostName->setFocus();
        c.enter(hostName);
        EXPECT_EQ(hostName->text(), c.expected);
    }
}

TEST_F(PreferencesDialog, AnotherServerDropsTheNewsgroupsAndTheSavedServerBringsThemBack) {
    addServer("news.other");
    projectOn("news.saved", "alt.one\r\nalt.two\r\n");
    host.project.FollowUpTo = "alt.two";
    open();
    QComboBox* server = combo("cbxDefaultNewsgroupServer");
    QComboBox* followup = combo("cbxDefaultFollowupTo");
    EXPECT_EQ(server->currentText(), QStringLiteral("news.saved"));
    EXPECT_EQ(newsgroupRows(), (QStringList{QStringLiteral("alt.one"), QStringLiteral("alt.two")}));
    EXPECT_EQ(followup->currentText(), QStringLiteral("alt.two"));

    server->setCurrentIndex(server->findText(QStringLiteral("news.other")));
    EXPECT_EQ(newsgroups()->RowCount(), 0);  // no empty rows left to select
    EXPECT_EQ(followup->count(), 0);
    EXPECT_EQ(followup->currentText(), QString());
    EXPECT_TRUE(button("btnDefaultNewsgroups")->isEnabled());

    server->setCurrentIndex(server->findText(QStringLiteral("news.saved")));
    EXPECT_EQ(newsgroupRows(), (QStringList{QStringLiteral("alt.one"), QStringLiteral("alt.two")}));
    EXPECT_EQ(items("cbxDefaultFollowupTo"),
              (QStringList{QStringLiteral("alt.one"), QStringLiteral("alt.two")}));
    EXPECT_EQ(followup->currentText(), QString());
}

TEST_F(PreferencesDialog, OpensWithTheSavedNewsgroupsOfItsServerOrNone) {
    struct Case {
        const char* name;
        std::string stored;       // the server key
        std::string projectHost;  // as the project names it
        std::string groups;
        QString shownServer;
        int rows;
    };
    const Case cases[] = {
        {"same name", "news.a", "news.a", "alt.a\r\n", QStringLiteral("news.a"), 1},
        // The store does not tell names apart by letter case, so this is the same server.
        {"other letter case", "news.a", "NEWS.A", "alt.a\r\n", QStringLiteral("news.a"), 1},
        {"server gone", "news.a", "news.gone", "alt.a\r\n", QString(), 0},
        {"no newsgroups", "news.a", "news.a", "", QStringLiteral("news.a"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store.deleteKeyTree("Servers");
        addServer(c.stored);
        host.project.Server.HostName = c.projectHost;
        host.project.SetNewsgroupsText(c.groups);
        open();
        EXPECT_EQ(combo("cbxDefaultNewsgroupServer")->currentText(), c.shownServer);
        EXPECT_EQ(newsgroups()->RowCount(), c.rows);
        EXPECT_EQ(button("btnDefaultNewsgroups")->isEnabled(), !c.shownServer.isEmpty());
        EXPECT_EQ(newsgroups()->isEnabled(), !c.shownServer.isEmpty());
    }
}

TEST_F(PreferencesDialog, TheServerListClosingRefreshesTheBoxAndAGoneServerTakesItsNewsgroups) {
    projectOn("news.a", "alt.a\r\n");
    addServer("news.b");
    open();
    QComboBox* server = combo("cbxDefaultNewsgroupServer");
    store.deleteKeyTree("Servers\\news.b");
    dialog->refreshServerBox();
    EXPECT_EQ(server->count(), 1);
    EXPECT_EQ(dialog->serverBoxText(), QStringLiteral("news.a"));
    EXPECT_EQ(newsgroups()->RowCount(), 1);

    store.deleteKeyTree("Servers\\news.a");
    dialog->refreshServerBox();
    EXPECT_EQ(dialog->serverBoxText(), QString());
    EXPECT_EQ(newsgroups()->RowCount(), 0);
    EXPECT_FALSE(button("btnDefaultNewsgroups")->isEnabled());
}

TEST_F(PreferencesDialog, TheServerButtonOpensTheServerListThatRefreshesBothServerBoxes) {
    projectOn("news.a", "alt.a\r\n");
    open();
    addServer("news.b");
    const int before = host.refreshes;
    {
        const auto servers =
            ModalHandler::on<TfrmNewsgroupServers>([](TfrmNewsgroupServers* d) { d->accept(); });
        button("btnDefaultNewsgroupServer")->click();
    }
    EXPECT_EQ(host.refreshes, before + 1);
    EXPECT_EQ(items("cbxDefaultNewsgroupServer"),
              (QStringList{QStringLiteral("news.a"), QStringLiteral("news.b")}));
    EXPECT_EQ(dialog->serverBoxText(), QStringLiteral("news.a"));
}

TEST_F(PreferencesDialog, NewsgroupsChosenInTheSelectionDialogReplaceTheDefaultOnes) {
    projectOn("news.a", "alt.a\r\nalt.b\r\n");
    host.project.FollowUpTo = "alt.b";
    open();
    EXPECT_EQ(dialog->targetNewsgroups(),
              (QStringList{QStringLiteral("alt.a"), QStringLiteral("alt.b")}));
    newsgroups()->Selections().SelectRange(0, 2);
    dialog->setTargetNewsgroups({QStringLiteral("alt.c"), QStringLiteral("ALT.B")});
    EXPECT_EQ(newsgroupRows(), (QStringList{QStringLiteral("alt.c"), QStringLiteral("ALT.B")}));
    EXPECT_EQ(newsgroups()->Selections().SelectedCount(), 0);
    {
        // The selection dialog starts from the default newsgroups and hands them back on OK.
        const auto selection = ModalHandler::on<TfrmNewsgroups>([](TfrmNewsgroups* d) {
            EXPECT_EQ(d->SelectedNewsgroups().size(), 2u);
            d->findChild<QWidget*>(QStringLiteral("btnOk"))->setFocus();
            QTest::keyClick(d->findChild<QWidget*>(QStringLiteral("btnOk")), Qt::Key_Space);
        });
        button("btnDefaultNewsgroups")->click();
    }
    EXPECT_EQ(items("cbxDefaultFollowupTo"),
              (QStringList{QStringLiteral("ALT.B"), QStringLiteral("alt.c")}));
    EXPECT_EQ(combo("cbxDefaultFollowupTo")->currentText(), QStringLiteral("alt.b"));
}

TEST_F(PreferencesDialog, AValueListTakesAnEntryOnceWhateverItsLetterCase) {
    host.lists.Names = {"alice"};
    open();
    QLineEdit* entry = edit("edtAddFromName");
    TMySpeedButton* add = button("btnAddFromName");
    EXPECT_FALSE(add->isEnabled());
    typeText(entry, QStringLiteral("Alice"));
    EXPECT_TRUE(add->isEnabled());
    pressKey(entry, Qt::Key_Return);
    EXPECT_EQ(items("lstFromNames"), QStringList{QStringLiteral("alice")});
    EXPECT_EQ(entry->text(), QString());
    EXPECT_FALSE(add->isEnabled());
    typeText(entry, QStringLiteral("Abe"));
    add->click();
    EXPECT_EQ(items("lstFromNames"), (QStringList{QStringLiteral("Abe"), QStringLiteral("alice")}));
}

TEST_F(PreferencesDialog, TheLogFileButtonAsksBeforeEmptyingAnExistingFile) {
    struct Case {
        const char* name;
        bool exists;
        PromptAnswer answer;
        std::vector<std::string> questions;
        std::string content;  // of the file afterwards
        bool named;           // the edit names the file afterwards
    };
    const std::string replace = "Do you want to replace the existing file?";
    const Case cases[] = {
        {"Yes", true, PromptAnswer::Yes, {replace}, "", true},
        {"No", true, PromptAnswer::No, {replace}, "old log\r\n", true},
        {"Cancel", true, PromptAnswer::Cancel, {replace}, "old log\r\n", false},
        {"new file", false, PromptAnswer::Yes, {}, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = dir / "session.log";
        std::filesystem::remove(path);
        if (c.exists)
            writeFile(path, "old log\r\n");
        open();
        check("chkSaveLogFile")->setChecked(true);
        check("chkUseProjectNameAsLogFile")->setChecked(false);
        edit("edtLogFile")->clear();
        prompts.clear();
        files.clear();
        if (c.exists)
            prompts.answerNext(c.answer);
        files.answerNext(QString::fromStdString(path.string()));
        button("btnLogFileName")->click();
        ASSERT_EQ(files.asked().size(), 1u);
        EXPECT_EQ(files.asked()[0].title, QStringLiteral("Log File"));
        EXPECT_EQ(files.asked()[0].startPath, QStringLiteral("LunetLog.txt"));
        EXPECT_EQ(files.asked()[0].kind, RecordingFileChooser::Kind::Save);
        EXPECT_FALSE(files.asked()[0].overwritePrompt);
        EXPECT_EQ(prompts.texts(), c.questions);
        EXPECT_EQ(readFile(path), c.content);
        EXPECT_EQ(edit("edtLogFile")->text(),
                  c.named ? QString::fromStdString(path.string()) : QString());
    }
}

TEST_F(PreferencesDialog, ALogFileThatCannotBeMadeIsAWarningAndStillNamed) {
    open();
    check("chkUseProjectNameAsLogFile")->setChecked(false);
    const QString path = QString::fromStdString((dir / "no such folder" / "x.log").string());
    files.answerNext(path);
    button("btnLogFileName")->click();
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Unable to create progress log"});
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Warning);
    EXPECT_EQ(edit("edtLogFile")->text(), path);
}

// Every single-file drop target: the warning for several files, the question when it already
// holds something, and what it holds afterwards.
TEST_F(PreferencesDialog, DropsOfTextFilesWarnAboutSeveralAndAskBeforeReplacing) {
    struct Target {
        const char* control;
        std::string multipleWarning;
        std::string question;
        std::function<QStringList()> content;
        bool sorted;
    };
    const std::string listWarning =
        "Multiple files not allowed.  The first file in the\rlist will be used as the newsgropup "
        "file.";
    const auto valueList = [&](const char* name, const char* question) {
        return Target{name, listWarning, question, [this, name] { return items(name); }, true};
    };
    const Target targets[] = {
        valueList("lstFromNames", "Do you want to replace the current list of From Names?"),
        valueList("lstEmailAddresses",
                  "Do you want to replace the current list of E-mail Addresses?"),
        valueList("lstOrganizations", "Do you want to replace the current list of Organizations?"),
        valueList("lstSubjects", "Do you want to replace the current list of Subjects?"),
        {"mmoDefaultMessage",
         "Multiple files not allowed.  The first file in the\rlist will be used as the message "
         "file.",
         "Do you want to replace the current default message?",
         [this] {
             return control<QPlainTextEdit>("mmoDefaultMessage")
                 ->toPlainText()
                 .split(QLatin1Char('\n'));
         },
         false},
        {"lstDefaultNewsgroups", listWarning,
         "Do you want to replace the current list of default newsgroups?",
         [this] { return newsgroupRows(); }, false},
    };
    // Lines end in CR LF, a lone CR and LF: none keeps a CR. The capital extension passes.
    const QString first = file("first.TXT", "b\r\nc\rd\n");
    const QString second = file("second.txt", "ignored\r\n");
    addServer("news.a");
    host.project.Server.HostName = "news.a";
    const QStringList fresh{QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")};

    for (const Target& t : targets) {
        SCOPED_TRACE(t.control);
        const auto drop = [&](const QStringList& paths, std::vector<PromptAnswer> answers) {
            prompts.clear();
            for (PromptAnswer a : answers)
                prompts.answerNext(a);
            EXPECT_TRUE(dropFiles(control<QWidget>(t.control), paths));
        };
        open();
        // An empty target is simply loaded; several files bring the warning first.
        drop({first, second}, {});
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{t.multipleWarning});
        EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Warning);
        EXPECT_EQ(t.content(), fresh);

        const QStringList twice =
            t.sorted ? QStringList{QStringLiteral("b"), QStringLiteral("b"), QStringLiteral("c"),
                                   QStringLiteral("c"), QStringLiteral("d"), QStringLiteral("d")}
                     : fresh + fresh;
        drop({first}, {PromptAnswer::No});
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{t.question});
        EXPECT_EQ(prompts.shown()[0].buttons, PromptButtons::YesNoCancel);
        EXPECT_EQ(t.content(), twice);
        drop({first}, {PromptAnswer::Cancel});
        EXPECT_EQ(t.content(), twice);
        drop({first}, {PromptAnswer::Yes});
        EXPECT_EQ(t.content(), fresh);
    }
}

TEST_F(PreferencesDialog, ADroppedFileThatMayNotBeTextIsLoadedOnlyWhenTheUserSaysSo) {
    const QString csv = file("names.csv", "x\n");
    open();
    prompts.answerNext(PromptAnswer::No);
    EXPECT_TRUE(dropFiles(list("lstSubjects"), {csv}));
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{"File may not be a text file.  Continue anyway?"});
    EXPECT_EQ(list("lstSubjects")->count(), 0);
    prompts.answerNext(PromptAnswer::Yes);
    EXPECT_TRUE(dropFiles(list("lstSubjects"), {csv}));
    EXPECT_EQ(items("lstSubjects"), QStringList{QStringLiteral("x")});
}

TEST_F(PreferencesDialog, DropsOnTheSignatureAndTheAttachedFiles) {
    const QString sig = file("sig.txt", "-- \n");
    const QString other = file("other.txt", "");
    const QString picture = file("Photo.jpg", "jpeg");
    const QString samePictureOtherCase = file("photo.jpg", "jpeg");
    std::filesystem::create_directory(dir / "folder");
    open();
    EXPECT_TRUE(dropFiles(edit("edtDefaultSignatureFile"), {sig, other}));
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{
                  "Multiple files not allowed.  The first file in the\rlist will be used as the "
                  "signature file."});
    EXPECT_EQ(edit("edtDefaultSignatureFile")->text(), sig);

    const QString folder = QString::fromStdString((dir / "folder").string());
    EXPECT_TRUE(dropFiles(list("lstDefaultAttachments"), {picture, folder, picture}));
    EXPECT_TRUE(dropFiles(list("lstDefaultAttachments"), {samePictureOtherCase, picture}));
    EXPECT_EQ(items("lstDefaultAttachments"), (QStringList{picture, samePictureOtherCase}));
}

TEST_F(PreferencesDialog, TheFileButtonsAskTheirDialogsAndTheTextFileQuestion) {
    const QString message = file("message.txt", "Hello\r\n\r\nBye");
    const QString noText = file("message.TXT", "Other");
    open();
    files.answerNext(message);
    button("btnDefaultMessage")->click();
    EXPECT_EQ(control<QPlainTextEdit>("mmoDefaultMessage")->toPlainText(),
              QStringLiteral("Hello\n\nBye"));
    // Chosen in a dialog, only ".txt" as typed passes.
    files.answerNext(noText);
    prompts.answerNext(PromptAnswer::No);
    button("btnDefaultMessage")->click();
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{"File may not be a text file.  Continue anyway?"});
    EXPECT_EQ(control<QPlainTextEdit>("mmoDefaultMessage")->toPlainText(),
              QStringLiteral("Hello\n\nBye"));

    edit("edtDefaultSignatureFile")->setText(QStringLiteral("/home/ann/old.sig"));
    files.answerNext(message);
    button("btnDefaultSignatureFile")->click();
    EXPECT_EQ(edit("edtDefaultSignatureFile")->text(), message);

    ASSERT_EQ(files.asked().size(), 3u);
    EXPECT_EQ(files.asked()[0].title, QStringLiteral("Load Message From..."));
    EXPECT_EQ(files.asked()[2].title, QStringLiteral("Signature File"));
    EXPECT_EQ(files.asked()[2].startPath, QStringLiteral("/home/ann/old.sig"));
}

TEST_F(PreferencesDialog, EnablingRulesFollowTheirSwitches) {
    struct Rule {
        const char* check;
        std::vector<const char*> dependents;
        bool enabledWhenChecked;
    };
    const Rule rules[] = {
        {"chkDefaultRandomizeSubject", {"cbxDefaultSubject", "lblDefaultSubject"}, false},
        {"chkDefaultRandomizeFromName", {"cbxDefaultFromName", "lblDefaultFromName"}, false},
        {"chkDefaultRandomizeFromEmailAddress",
         {"cbxDefaultFromEmailAddress", "lblDefaultFromEmailAddress"},
         false},
        {"chkDefaultRandomizeReplyToEmailAddress",
         {"cbxDefaultReplyToEmailAddress", "lblDefaultReplyToEmailAddress"},
         false},
        {"chkDefaultRandomizeOrganization",
         {"cbxDefaultOrganization", "lblDefaultOrganization"},
         false},
        {"chkDefaultRandomizeFollowupTo", {"cbxDefaultFollowupTo", "lblDefaultFollowupTo"}, false},
        {"chkDefaultCrosspost",
         {"chkDefaultLimitCrossposting", "spnDefaultCrosspostingLimit",
          "lblDefaultCrosspostingLimit"},
         true},
        {"chkDefaultSplitUpMessages", {"spnDefaultMessageSize", "lblDefaultSplitUpMessages"}, true},
        {"chkSaveLogFile", {"chkUseProjectNameAsLogFile"}, true},
        {"chkUseProjectNameAsLogFile", {"edtLogFile", "btnLogFileName"}, false},
        {"chkUseWindowsComputerNameAsHostName",
         {"edtUseTextAsHostName", "lblUseTextAsHostName"},
         false},
    };
    open();
    for (const Rule& r : rules) {
        SCOPED_TRACE(r.check);
        for (bool on : {true, false, true}) {
            check(r.check)->setChecked(on);
            for (const char* dependent : r.dependents)
                EXPECT_EQ(control<QWidget>(dependent)->isEnabled(), on == r.enabledWhenChecked)
                    << dependent << (on ? " with the switch on" : " with the switch off");
        }
    }
    EXPECT_EQ(edit("edtUseTextAsHostName")->text(), QString::fromStdString(GetComputerHostName()));

    // Filling the form from the project runs the same rules.
    host.project.RandomizeOrganization = true;
    host.project.Crosspost = false;
    host.project.SplitLargeMessages = true;
    host.advanced.SaveLogFile = true;
    host.advanced.UseProjectNameAsLogFile = false;
    host.advanced.UseComputerNameAsHostName = false;
    host.advanced.HostName = "own-name";
    open();
    EXPECT_FALSE(combo("cbxDefaultOrganization")->isEnabled());
    EXPECT_TRUE(combo("cbxDefaultSubject")->isEnabled());
    EXPECT_FALSE(check("chkDefaultLimitCrossposting")->isEnabled());
    EXPECT_TRUE(control<QSpinBox>("spnDefaultMessageSize")->isEnabled());
    EXPECT_TRUE(check("chkUseProjectNameAsLogFile")->isEnabled());
    EXPECT_TRUE(edit("edtLogFile")->isEnabled());
    EXPECT_TRUE(edit("edtUseTextAsHostName")->isEnabled());
    EXPECT_EQ(edit("edtUseTextAsHostName")->text(), QStringLiteral("own-name"));
}

TEST_F(PreferencesDialog, RemoveCommandsActOnTheListTheyWereGivenTo) {
    host.lists.Subjects = {"a", "b", "c", "d"};
    host.lists.Names = {"x", "y"};
    projectOn("news.a", "alt.a\r\nalt.b\r\nalt.c\r\n");
    host.project.FollowUpTo = "alt.c";
    open();
    QListWidget* subjects = list("lstSubjects");
    subjects->item(1)->setSelected(true);
    subjects->setCurrentItem(subjects->item(3), QItemSelectionModel::Select);
    pressKey(subjects, Qt::Key_Delete);
    EXPECT_EQ(items("lstSubjects"), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));

    // The pop-up menu works on the list it was opened on.
    emit list("lstFromNames")->customContextMenuRequested(QPoint(2, 2));
    auto* menu = dialog->findChild<QMenu*>(QStringLiteral("pumRemoveItems"));
    ASSERT_NE(menu, nullptr);
    menu->findChild<QAction*>(QStringLiteral("mniRemoveAllItemsFromList"))->trigger();
    menu->close();
    EXPECT_EQ(list("lstFromNames")->count(), 0);
    EXPECT_EQ(subjects->count(), 2);

    // Rows of the default newsgroups, selected out of order; the follow-up loses what went.
    newsgroups()->Selections().SelectRange(2, 1);
    newsgroups()->Selections().SelectRange(0, 1);
    pressKey(newsgroups(), Qt::Key_Delete);
    EXPECT_EQ(newsgroupRows(), QStringList{QStringLiteral("alt.b")});
    EXPECT_EQ(items("cbxDefaultFollowupTo"), QStringList{QStringLiteral("alt.b")});
    EXPECT_EQ(combo("cbxDefaultFollowupTo")->currentText(), QString());
    combo("cbxDefaultFollowupTo")->setEditText(QStringLiteral("alt.b"));
    pressKey(newsgroups(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(newsgroups()->RowCount(), 0);
    EXPECT_EQ(combo("cbxDefaultFollowupTo")->count(), 0);
    EXPECT_EQ(combo("cbxDefaultFollowupTo")->currentText(), QString());

    // Ins in the attached files asks for more files.
    pressKey(list("lstDefaultAttachments"), Qt::Key_Insert);
    ASSERT_EQ(files.asked().size(), 1u);
    EXPECT_EQ(files.asked()[0].title, QStringLiteral("Attach"));
    EXPECT_EQ(files.asked()[0].filters[files.asked()[0].selectedFilter],
              QStringLiteral("JPEG Images (*.jpg)"));
}

TEST_F(PreferencesDialog, TheEncodingGroupOffersEveryMethodOfTheProjectModel) {
    host.project.EncodingMethod = kEncodingBase64;
    open();
    const QList<QRadioButton*> methods =
        control<QWidget>("grpDefaultEncodingMethod")->findChildren<QRadioButton*>();
    ASSERT_EQ(std::size_t(methods.size()), std::size(kEncodingMethodNames));
    for (qsizetype i = 0; i < methods.size(); ++i) {
        EXPECT_EQ(methods[i]->text().toStdString(), kEncodingMethodNames[i]);
        EXPECT_EQ(methods[i]->isChecked(), i == kEncodingBase64);
    }
}

TEST_F(PreferencesDialog, EveryControlTheKeyboardReachesHasAnAccessibleName) {
    open();
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
        // The drop-downs' own pop-up lists are windows of their own, named by their box.
        if (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy() || w->window() != dialog.get() ||
            qobject_cast<QTabBar*>(w) || w->objectName().startsWith(QStringLiteral("qt_")))
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr) << w->objectName().toStdString();
        EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty())
            << w->metaObject()->className() << " " << w->objectName().toStdString() << " in "
            << w->parentWidget()->objectName().toStdString();
    }
}

// Tab from the page tabs goes through the page in reading order, then OK and Cancel, and back
// to the page tabs; disabled controls are passed over. F1 opens the dialog's help page.
TEST_F(PreferencesDialog, TheKeyboardWalksEachPageInReadingOrderAndF1OpensItsHelp) {
    const QStringList tail{QStringLiteral("btnOk"), QStringLiteral("btnCancel")};
    const std::vector<QStringList> pages = {
        {QStringLiteral("cbxDefaultSubject"), QStringLiteral("chkDefaultRandomizeSubject"),
         QStringLiteral("btnDefaultMessage"), QStringLiteral("mmoDefaultMessage"),
         QStringLiteral("btnDefaultAttachments"), QStringLiteral("lstDefaultAttachments"),
         QStringLiteral("chkDefaultPostSeparateMessageForEachAttachedFile"),
         QStringLiteral("btnDefaultSignatureFile"), QStringLiteral("edtDefaultSignatureFile")},
        {QStringLiteral("cbxDefaultFromName"), QStringLiteral("chkDefaultRandomizeFromName"),
         QStringLiteral("cbxDefaultFromEmailAddress"),
         QStringLiteral("chkDefaultRandomizeFromEmailAddress"),
         QStringLiteral("cbxDefaultReplyToEmailAddress"),
         QStringLiteral("chkDefaultRandomizeReplyToEmailAddress"),
         QStringLiteral("cbxDefaultOrganization"),
         QStringLiteral("chkDefaultRandomizeOrganization"), QStringLiteral("chkDefaultCrosspost"),
         QStringLiteral("chkDefaultLimitCrossposting"),
         QStringLiteral("spnDefaultCrosspostingLimit"), QStringLiteral("chkDefaultSplitUpMessages"),
         QStringLiteral("chkDefaultCutHere"), QStringLiteral("grpDefaultEncodingMethodItem0"),
         QStringLiteral("chkDefaultXNoArchive")},
        {QStringLiteral("btnDefaultNewsgroupServer"), QStringLiteral("cbxDefaultNewsgroupServer"),
         QStringLiteral("cbxDefaultFollowupTo"), QStringLiteral("chkDefaultRandomizeFollowupTo")},
        {QStringLiteral("pgeLists"), QStringLiteral("edtAddFromName"),
         QStringLiteral("lstFromNames")},
        {QStringLiteral("chkUseWindowsComputerNameAsHostName"), QStringLiteral("chkSaveLogFile"),
         QStringLiteral("chkSaveNzbFile")},
    };
    open();
    activate();
    auto* tabs = control<QTabWidget>("pgePreferences");
    for (int page = 0; page < int(pages.size()); ++page) {
        SCOPED_TRACE(page);
        tabs->setCurrentIndex(page);
        tabs->tabBar()->setFocus(Qt::TabFocusReason);
        QStringList walked;
        for (int i = 0; i < 30; ++i) {
            pressKey(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            ASSERT_NE(focus, nullptr);
            if (focus == tabs->tabBar())
                break;
            // A page control's tabs are named after the page control.
            walked.append(qobject_cast<QTabBar*>(focus) ? focus->parentWidget()->objectName()
                                                        : focus->objectName());
        }
        EXPECT_EQ(walked, pages[std::size_t(page)] + tail);
    }

    pressKey(QApplication::focusWidget(), Qt::Key_F1);
    ASSERT_NE(currentHelpWindow(), nullptr);
    EXPECT_EQ(currentHelpWindow()->currentPage().fileName(), QStringLiteral("preferences.html"));
}

}  // namespace
