// The main window's start, its project commands and its close.

#include "main_window_fixture.h"

#include "gui/termination_signals.h"
#include "model/advanced_storage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

#include <csignal>

namespace {

QString path(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

}  // namespace

TEST_F(MainWindowTest, AFirstRunAnsweredNoTwiceStoresTheDefaultAndShowsAnUntitledCopy) {
    start();
    EXPECT_EQ(prompts.texts(),
              (std::vector<std::string>{"Would you like to set up a newsgroup server now?",
                                        "Would you like to set up project preferences now?"}));
    const TProject stored = storedProject("Default");
    EXPECT_EQ(stored.Name, "Default");
    EXPECT_TRUE(stored.Crosspost);
    EXPECT_TRUE(stored.PostSeparateMessageForEachAttachedFile);
    EXPECT_EQ(stored.CrosspostingLimit, 10);
    EXPECT_EQ(stored.SplitLines, 1000);
    EXPECT_FALSE(stored.LimitCrossposting);

    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kavrin/32 - Untitled"));
    EXPECT_EQ(window->currentProject().Name, "Untitled");
    EXPECT_TRUE(control<QCheckBox>("chkCrosspost")->isChecked());
    EXPECT_TRUE(control<QAbstractButton>("grpEncodingMethodItem0")->isChecked());
    EXPECT_FALSE(control<QAction>("mniFilePostIt")->isEnabled());

    // The second start is no first run.
    window.reset();
    prompts.clear();
    start();
    EXPECT_TRUE(prompts.texts().empty());
}

TEST_F(MainWindowTest, StartsWithTheCommandLineProjectFileElseTheLastProject) {
    seedStore();
    TProject last = workProject();
    last.Subject = "from Last";
    storeLast(last);
    TProject file = workProject();
    file.Subject = "from the file";
    for (const char* name : {"holiday.kv32", "holiday.KV32"}) {
        file.Name = (dir / name).string();
        ASSERT_TRUE(SaveProjectToFile(file, store, prompts));
    }

    struct Case {
        QString argument;
        const char* subject;
        QString title;
        QString note;
    };
    const QString kv32 = path(dir / "holiday.kv32");
    const QString capitals = path(dir / "holiday.KV32");
    const QString missing = path(dir / "missing.kv32");
    const Case cases[] = {
        {kv32, "from the file", QStringLiteral("Kavrin/32 - ") + kv32, {}},
        {capitals, "from Last", QStringLiteral("Kavrin/32 - Untitled"),
         QStringLiteral("Not opened: \"%1\" is not a project file (*.kv32)").arg(capitals)},
        {missing, "from Last", QStringLiteral("Kavrin/32 - Untitled"),
         QStringLiteral("Not opened: \"%1\" does not exist").arg(missing)},
    };
    for (const Case& c : cases) {
        start({c.argument});
        EXPECT_EQ(control<QComboBox>("cbxSubject")->currentText(), QString::fromLatin1(c.subject));
        EXPECT_EQ(window->windowTitle(), c.title);
        EXPECT_EQ(window->statusBar()->currentMessage(), c.note);
        EXPECT_TRUE(prompts.texts().empty());
    }
}

TEST_F(MainWindowTest, NewProjectAsksAboutChangesThenShowsAnUntitledCopyOfTheDefault) {
    seedStore();
    storeLast(workProject());
    start();
    auto* subject = control<QComboBox>("cbxSubject");
    subject->setEditText(QStringLiteral("changed"));

    prompts.answerNext(PromptAnswer::Cancel);
    control<QAction>("mniFileNewProject")->trigger();
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Do you want to save Untitled?"});
    EXPECT_EQ(subject->currentText(), QStringLiteral("changed"));

    prompts.answerNext(PromptAnswer::No);
    control<QAbstractButton>("btnNewProject")->click();
    EXPECT_EQ(subject->currentText(), QString());
    EXPECT_EQ(control<QComboBox>("cbxFromName")->currentText(), QStringLiteral("Ann Example"));
    EXPECT_EQ(control<QPlainTextEdit>("mmoMessage")->toPlainText(), QString());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kavrin/32 - Untitled"));

    // Nothing changed since: no question.
    prompts.clear();
    control<QAction>("mniFileNewProject")->trigger();
    EXPECT_TRUE(prompts.texts().empty());
}

TEST_F(MainWindowTest, SaveOfAnUntitledProjectAsksForANameAndEndsItInKv32) {
    seedStore();
    storeLast(workProject());
    start();
    files.answerNext(path(dir / "holiday.txt"));
    control<QAbstractButton>("btnSaveProject")->click();
    ASSERT_EQ(files.asked().size(), 1u);
    EXPECT_EQ(files.asked()[0].kind, RecordingFileChooser::Kind::Save);
    EXPECT_TRUE(files.asked()[0].startPath.endsWith(QStringLiteral("/Untitled.kv32")));
    EXPECT_EQ(files.asked()[0].filters,
              QStringList{QStringLiteral("Kavrin/32 Project Files (*.kv32)")});
    EXPECT_TRUE(files.asked()[0].overwritePrompt);

    const QString saved = path(dir / "holiday.txt.kv32");
    EXPECT_FALSE(QFileInfo::exists(path(dir / "holiday.txt")));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kavrin/32 - ") + saved);
    TProject back;
    back.Name = saved.toStdString();
    ASSERT_TRUE(LoadProjectFromFile(back, store, prompts));
    EXPECT_EQ(back.Subject, "Holiday pictures");
    EXPECT_EQ(back.Newsgroups, (std::vector<std::string>{"alt.test", "alt.pictures"}));

    // A named project is saved to its file without a dialog; Save As starts at that file.
    control<QComboBox>("cbxSubject")->setEditText(QStringLiteral("Second"));
    control<QAction>("mniFileSaveProject")->trigger();
    EXPECT_EQ(files.asked().size(), 1u);
    ASSERT_TRUE(LoadProjectFromFile(back, store, prompts));
    EXPECT_EQ(back.Subject, "Second");
    control<QAction>("mniFileSaveProjectAs")->trigger();
    ASSERT_EQ(files.asked().size(), 2u);
    EXPECT_EQ(files.asked()[1].startPath, saved);
}

// The dialog's overwrite question was about the name typed, not the one with ".kv32" added.
TEST_F(MainWindowTest, SaveAsksBeforeReplacingTheFileThatTheAddedExtensionNames) {
    seedStore();
    storeLast(workProject());
    writeFile(dir / "old.txt.kv32", "[Kavrin/32]\r\nSubject=keep me\r\n");
    start();
    files.answerNext(path(dir / "old.txt"));
    prompts.answerNext(PromptAnswer::No);
    control<QAction>("mniFileSaveProjectAs")->trigger();
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{(dir / "old.txt.kv32").string() +
                                       " already exists.\rDo you want to replace it?"});
    EXPECT_EQ(readFile(dir / "old.txt.kv32"), "[Kavrin/32]\r\nSubject=keep me\r\n");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kavrin/32 - Untitled"));

    files.answerNext(path(dir / "old.txt"));
    prompts.answerNext(PromptAnswer::Yes);
    control<QAction>("mniFileSaveProjectAs")->trigger();
    EXPECT_NE(readFile(dir / "old.txt.kv32").find("Subject=Holiday pictures"), std::string::npos);
}

TEST_F(MainWindowTest, OpenShowsTheChosenFileAndACancelledDialogChangesNothing) {
    seedStore();
    storeLast(workProject());
    TProject other = workProject();
    other.Name = (dir / "other.kv32").string();
    other.Subject = "Other";
    other.Server.HostName = "news.other.net";
    ASSERT_TRUE(SaveProjectToFile(other, store, prompts));
    start();

    control<QAbstractButton>("btnOpenProject")->click();
    EXPECT_EQ(control<QComboBox>("cbxSubject")->currentText(), QStringLiteral("Holiday pictures"));

    files.answerNext(path(dir / "other.kv32"));
    control<QAction>("mniFileOpenProject")->trigger();
    ASSERT_EQ(files.asked().size(), 2u);
    EXPECT_EQ(files.asked()[1].filters,
              QStringList{QStringLiteral("Kavrin/32 Project Files (*.kv32)")});
    EXPECT_EQ(control<QComboBox>("cbxSubject")->currentText(), QStringLiteral("Other"));
    EXPECT_EQ(control<QComboBox>("cbxNewsgroupServer")->currentText(),
              QStringLiteral("news.other.net"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Kavrin/32 - ") + path(dir / "other.kv32"));
    EXPECT_TRUE(prompts.texts().empty());
}

TEST_F(MainWindowTest, ClosingAsksAboutUnsavedWorkAndKeepsItAsLast) {
    seedStore();
    TProject fromFile = workProject();
    fromFile.Name = (dir / "holiday.kv32").string();
    ASSERT_TRUE(SaveProjectToFile(fromFile, store, prompts));
    start({path(dir / "holiday.kv32")});
    control<QComboBox>("cbxSubject")->setEditText(QStringLiteral("unsaved"));

    QSignalSpy closed(window.get(), &TfrmKavrin::closed);
    prompts.answerNext(PromptAnswer::Cancel);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(closed.count(), 0);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Do you want to save holiday.kv32?"});

    // No: the work survives as "Last", no longer claiming to be the file.
    prompts.answerNext(PromptAnswer::No);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(closed.count(), 1);
    const TProject last = storedProject("Last");
    EXPECT_EQ(last.Name, "Untitled");
    EXPECT_EQ(last.Subject, "unsaved");
    TProject file;
    file.Name = fromFile.Name;
    ASSERT_TRUE(LoadProjectFromFile(file, store, prompts));
    EXPECT_EQ(file.Subject, "Holiday pictures");
}

TEST_F(MainWindowTest, ClosingAChangedUntitledProjectWithYesAndNoNameStillCloses) {
    seedStore();
    storeLast(workProject());
    start();
    control<QComboBox>("cbxSubject")->setEditText(QStringLiteral("unsaved"));
    prompts.answerNext(PromptAnswer::Yes);
    files.cancelNext();
    EXPECT_TRUE(window->close());
    EXPECT_EQ(files.asked().size(), 1u);
    EXPECT_EQ(storedProject("Last").Subject, "unsaved");
}

// What the window keeps for the next run is written when it closes.
TEST_F(MainWindowTest, ClosingStoresTheRecentValuesAndValueListsForTheNextStart) {
    seedStore();
    storeLast(workProject());
    lists.Subjects = {"pool subject"};
    start();
    auto* replyTo = control<QComboBox>("cbxReplyToEmailAddress");
    replyTo->setFocus();
    replyTo->setEditText(QStringLiteral("reply@example.com"));
    control<QComboBox>("cbxSubject")->setFocus();
    EXPECT_TRUE(window->close());

    ValueLists recent;
    ASSERT_TRUE(LoadRecentLists(recent, store));
    EXPECT_EQ(recent.EmailAddresses, std::vector<std::string>{"reply@example.com"});
    ValueLists pools;
    ASSERT_TRUE(LoadValueLists(pools, store));
    EXPECT_EQ(pools.Subjects, std::vector<std::string>{"pool subject"});

    start();
    for (const char* box : {"cbxFromEmailAddress", "cbxReplyToEmailAddress"})
        EXPECT_EQ(control<QComboBox>(box)->findText(QStringLiteral("reply@example.com")), 0) << box;
}

// A logout or a kill must not lose the session's work: it is stored as a No to the save
// question would store it, without asking.
TEST_F(MainWindowTest, TerminationSignalsStoreTheSessionWithoutAskingAndEndTheProgram) {
    seedStore();
    TProject fromFile = workProject();
    fromFile.Name = (dir / "holiday.kv32").string();
    ASSERT_TRUE(SaveProjectToFile(fromFile, store, prompts));
    for (int signalNumber : {SIGTERM, SIGHUP}) {
        store.deleteKeyTree("Projects\\Last");
        start({path(dir / "holiday.kv32")});
        control<QComboBox>("cbxSubject")->setEditText(QStringLiteral("unsaved"));
        TerminationSignals watch;
        QObject::connect(&watch, &TerminationSignals::terminationRequested, window.get(),
                         &TfrmKavrin::endOnSignal);
        ASSERT_EQ(std::raise(signalNumber), 0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 5000));
        const TProject last = storedProject("Last");
        EXPECT_EQ(last.Subject, "unsaved");
        EXPECT_EQ(last.Name, "Untitled");
    }
    EXPECT_TRUE(prompts.texts().empty());

    // An unchanged project keeps its file's name.
    start({path(dir / "holiday.kv32")});
    window->saveSessionState(false);
    EXPECT_EQ(storedProject("Last").Name, fromFile.Name);

    // A logout that lets the program ask asks as closing does, and Cancel stops it.
    store.deleteKeyTree("Projects\\Last");
    control<QComboBox>("cbxSubject")->setEditText(QStringLiteral("unsaved"));
    prompts.answerNext(PromptAnswer::Cancel);
    EXPECT_FALSE(window->saveSessionState(true));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Do you want to save holiday.kv32?"});
    EXPECT_FALSE(store.keyExists("Projects\\Last"));
}
