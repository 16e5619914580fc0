// How the main window's fields react while a project is edited.

#include "main_window_fixture.h"

#include "gui/accessibility.h"

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
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

namespace {

QString qpath(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

QStringList itemsOf(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

QStringList itemsOf(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items.append(list->item(i)->text());
    return items;
}

}  // namespace

class MainWindowFieldsTest : public MainWindowTest {
protected:
    void SetUp() override {
        seedStore();
        storeLast(workProject());
    }
    // The rows of the newsgroup list as the list box shows them.
    QStringList shownNewsgroups() {
        auto* view = control<TVListBox>("lstNewsgroups");
        QStringList rows;
        for (int i = 0; i < view->RowCount(); ++i) {
            QString text;
            QFont font;
            QColor colour, background;
            view->OnGetItem(view, i, 1, text, {}, font, colour, background);
            rows.append(text);
        }
        return rows;
    }
    bool postItEnabled() { return control<QAction>("mniFilePostIt")->isEnabled(); }
    void leave(QComboBox* box) {
        box->setFocus();
        control<QPlainTextEdit>("mmoMessage")->setFocus();
    }
};

TEST_F(MainWindowFieldsTest, HeaderBoxesRememberNewValuesOnceAndSorted) {
    start();
    auto* subject = control<QComboBox>("cbxSubject");
    for (const char* typed : {"Zebra", "apple", "ZEBRA", ""}) {
        subject->setFocus();
        subject->setEditText(QString::fromLatin1(typed));
        leave(subject);
    }
    EXPECT_EQ(itemsOf(subject), (QStringList{QStringLiteral("apple"), QStringLiteral("Zebra")}));
    EXPECT_EQ(subject->currentText(), QString());

    // Either address box offers what was typed in the other.
    auto* from = control<QComboBox>("cbxFromEmailAddress");
    auto* replyTo = control<QComboBox>("cbxReplyToEmailAddress");
    replyTo->setFocus();
    replyTo->setEditText(QStringLiteral("reply@example.com"));
    leave(replyTo);
    from->setFocus();
    from->setEditText(QStringLiteral("b@example.com"));
    leave(from);
    const QStringList both{QStringLiteral("b@example.com"), QStringLiteral("reply@example.com")};
    EXPECT_EQ(itemsOf(from), both);
    EXPECT_EQ(itemsOf(replyTo), both);
    EXPECT_EQ(from->currentText(), QStringLiteral("b@example.com"));
    EXPECT_EQ(replyTo->currentText(), QStringLiteral("reply@example.com"));
}

TEST_F(MainWindowFieldsTest, ARandomiseSwitchNeedsItsListAndThenTakesItsFieldsPlace) {
    struct Case {
        const char* box;
        const char* label;
        const char* field;
        std::vector<std::string> ValueLists::*list;
        const char* question;
    };
    const Case cases[] = {
        {"chkRandomizeSubject", "lblSubject", "cbxSubject", &ValueLists::Subjects,
         "You have not created a list of Subjects.\rWould you like to create a list of Subjects "
         "now?"},
        {"chkRandomizeFromName", "lblFromName", "cbxFromName", &ValueLists::Names,
         "You have not created a list of Names.\rWould you like to create a list of Names now?"},
        {"chkRandomizeFromEmailAddress", "lblFromEmailAddress", "cbxFromEmailAddress",
         &ValueLists::EmailAddresses,
         "You have not created a list of Email Addresses.\rWould you like to create a list of "
         "Email Addresses now?"},
        {"chkRandomizeReplyToEmailAddress", "lblReplyToEmailAddress", "cbxReplyToEmailAddress",
         &ValueLists::EmailAddresses,
         "You have not created a list of Email Addresses.\rWould you like to create a list of "
         "Email Addresses now?"},
        {"chkRandomizeOrganization", "lblOrganization", "cbxOrganization",
         &ValueLists::Organizations,
         "You have not created a list of Organizations.\rWould you like to create a list of "
         "Organizations now?"},
    };
    for (const Case& c : cases) {
        lists = ValueLists{};
        start();
        auto* box = control<QCheckBox>(c.box);
        prompts.clear();
        box->click();
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{c.question}) << c.box;
        EXPECT_FALSE(box->isChecked()) << c.box;
        EXPECT_TRUE(control<QComboBox>(c.field)->isEnabled()) << c.box;

        lists.*c.list = {"from the list"};
        start();
        box = control<QCheckBox>(c.box);
        prompts.clear();
        box->click();
        EXPECT_TRUE(prompts.texts().empty()) << c.box;
        EXPECT_TRUE(box->isChecked()) << c.box;
        EXPECT_FALSE(control<QComboBox>(c.field)->isEnabled()) << c.box;
        EXPECT_FALSE(control<QLabel>(c.label)->isEnabled()) << c.box;
        box->click();
        EXPECT_TRUE(control<QComboBox>(c.field)->isEnabled()) << c.box;
    }

    // A subject drawn from the list is as good as one typed.
    lists.Subjects = {"drawn"};
    start();
    control<QComboBox>("cbxSubject")->setEditText(QString());
    EXPECT_FALSE(postItEnabled());
    control<QCheckBox>("chkRandomizeSubject")->click();
    EXPECT_TRUE(postItEnabled());
    // The follow-up switch picks from the project's own groups and asks nothing.
    prompts.clear();
    control<QCheckBox>("chkRandomizeFollowupTo")->click();
    EXPECT_TRUE(prompts.texts().empty());
    EXPECT_FALSE(control<QComboBox>("cbxFollowupTo")->isEnabled());
}

TEST_F(MainWindowFieldsTest, OptionControlsFollowTheirSwitches) {
    writeFile(dir / "a.jpg", "a");
    writeFile(dir / "b.jpg", "b");
    TProject yenc = workProject();
    yenc.EncodingMethod = kEncodingYEnc;
    storeLast(yenc);
    start();
    EXPECT_TRUE(control<QAbstractButton>("grpEncodingMethodItem2")->isChecked());
    control<QCheckBox>("chkLimitCrossposting")->setChecked(true);
    EXPECT_TRUE(control<QSpinBox>("spnCrosspostingLimit")->isEnabled());
    control<QCheckBox>("chkCrosspost")->click();
    EXPECT_FALSE(control<QCheckBox>("chkLimitCrossposting")->isEnabled());
    EXPECT_FALSE(control<QSpinBox>("spnCrosspostingLimit")->isEnabled());
    EXPECT_FALSE(control<QLabel>("lblCrosspostingLimit")->isEnabled());

    EXPECT_FALSE(control<QSpinBox>("spnMessageSize")->isEnabled());
    control<QCheckBox>("chkSplitUpMessages")->click();
    EXPECT_TRUE(control<QSpinBox>("spnMessageSize")->isEnabled());
    EXPECT_TRUE(control<QLabel>("lblSplitUpMessages")->isEnabled());

    // "Cut Here" is for UUEncode alone.
    EXPECT_FALSE(control<QCheckBox>("chkCutHere")->isEnabled());
    for (const int method : {kEncodingUUEncode, kEncodingBase64, kEncodingYEnc}) {
        control<QAbstractButton>(("grpEncodingMethodItem" + std::to_string(method)).c_str())
            ->click();
        EXPECT_EQ(control<QCheckBox>("chkCutHere")->isEnabled(), method == kEncodingUUEncode);
    }

    auto* separate = control<QCheckBox>("chkPostSeparateMessageForEachAttachedFile");
    EXPECT_FALSE(separate->isEnabled());
    files.answerNext(QStringList{qpath(dir / "a.jpg"), qpath(dir / "b.jpg")});
    control<QAction>("mniFileAddFilesToList")->trigger();
    EXPECT_TRUE(separate->isEnabled());
    control<QAction>("mniFileRemoveAllFilesFromList")->trigger();
    EXPECT_FALSE(separate->isEnabled());
}

// A newsgroup selection belongs to one server.
TEST_F(MainWindowFieldsTest, ChoosingAnotherServerEmptiesTheNewsgroupsAndMakesItTheProjects) {
    start();
    auto* server = control<QComboBox>("cbxNewsgroupServer");
    EXPECT_EQ(shownNewsgroups(),
              (QStringList{QStringLiteral("alt.test"), QStringLiteral("alt.pictures")}));
    EXPECT_EQ(control<QComboBox>("cbxFollowupTo")->currentText(), QStringLiteral("alt.test"));
    EXPECT_TRUE(postItEnabled());

    for (const char* host : {"news.other.net", "news.example.com"}) {
        server->setCurrentIndex(server->findText(QString::fromLatin1(host)));
        emit server->activated(server->currentIndex());
        EXPECT_TRUE(shownNewsgroups().isEmpty()) << host;
        EXPECT_EQ(control<QComboBox>("cbxFollowupTo")->count(), 0) << host;
        EXPECT_EQ(control<QComboBox>("cbxFollowupTo")->currentText(), QString()) << host;
        EXPECT_EQ(window->currentProject().Server.HostName, host);
        EXPECT_FALSE(postItEnabled());
    }
}

// A project whose server is not set up here (a file from another computer, a server deleted
// since) still shows its newsgroups and follow-up group when the program starts.
TEST_F(MainWindowFieldsTest, StartKeepsTheNewsgroupsOfAServerThatIsNotStored) {
    TProject elsewhere = workProject();
    elsewhere.Server.HostName = "news.elsewhere.org";
    elsewhere.FollowUpTo = "alt.followups";
    storeLast(elsewhere);
    store.deleteKeyTree(serverKeyPath("news.elsewhere.org"));
    start();
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Unable to load server from registry"});
    EXPECT_EQ(control<QComboBox>("cbxNewsgroupServer")->currentText(), QString());
    EXPECT_EQ(shownNewsgroups(),
              (QStringList{QStringLiteral("alt.test"), QStringLiteral("alt.pictures")}));
    EXPECT_EQ(control<QComboBox>("cbxFollowupTo")->currentText(), QStringLiteral("alt.followups"));
    EXPECT_FALSE(control<TVListBox>("lstNewsgroups")->isEnabled());
    EXPECT_FALSE(control<QToolButton>("btnNewsgroups")->isEnabled());
}

TEST_F(MainWindowFieldsTest, AttachmentListTakesFilesOnceAndItsKeysAndMenuRemoveThem) {
    for (const char* name : {"a.jpg", "b.jpg", "c.bin"})
        writeFile(dir / name, "x");
    std::filesystem::create_directory(dir / "folder");
    start();
    auto* list = control<QListWidget>("lstAttachments");
    files.answerNext(QStringList{qpath(dir / "a.jpg"), qpath(dir / "b.jpg")});
    control<QToolButton>("btnAttachments")->click();
    ASSERT_EQ(files.asked().size(), 1u);
    EXPECT_EQ(files.asked()[0].title, QStringLiteral("Attach"));
    EXPECT_EQ(
        files.asked()[0].filters,
        (QStringList{QStringLiteral("Windows Bitmap Images (*.bmp)"),
                     QStringLiteral("GIF Images (*.gif)"), QStringLiteral("JPEG Images (*.jpg)"),
                     QStringLiteral("All Files (*.*)")}));
    EXPECT_EQ(files.asked()[0].selectedFilter, 2);

    // Drops: folders are not files, and a path listed already (in any case) is not added.
    const QString upperA = qpath(dir / "A.JPG");
    ASSERT_TRUE(dropFiles(list, {upperA, qpath(dir / "folder"), qpath(dir / "c.bin")}));
    EXPECT_EQ(itemsOf(list),
              (QStringList{qpath(dir / "a.jpg"), qpath(dir / "b.jpg"), qpath(dir / "c.bin")}));
    EXPECT_EQ(control<QTabWidget>("pgeKavrin")->tabText(2), QStringLiteral("&Attachments (3)"));

    control<QTabWidget>("pgeKavrin")->setCurrentIndex(2);
    list->setFocus();
    list->setCurrentRow(1);
    pressKey(list, Qt::Key_Delete);
    EXPECT_EQ(itemsOf(list), (QStringList{qpath(dir / "a.jpg"), qpath(dir / "c.bin")}));
    files.answerNext(QStringList{qpath(dir / "b.jpg")});
    pressKey(list, Qt::Key_Insert);
    EXPECT_EQ(list->count(), 3);
    pressKey(list, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(list->count(), 0);
    EXPECT_EQ(control<QTabWidget>("pgeKavrin")->tabText(2), QStringLiteral("&Attachments"));
}

TEST_F(MainWindowFieldsTest, NewsgroupListKeysRemoveRowsAndKeepTheFollowUpBoxInStep) {
    TProject three = workProject();
    three.SetNewsgroupsText("alt.a\r\nalt.b\r\nalt.c\r\n");
    three.FollowUpTo = "alt.b";
    storeLast(three);
    start();
    control<QTabWidget>("pgeKavrin")->setCurrentIndex(1);
    auto* view = control<TVListBox>("lstNewsgroups");
    view->setFocus();
    view->Selections().SelectRange(2, 1);
    view->Selections().SelectRange(1, 1);
    pressKey(view, Qt::Key_Delete);
    EXPECT_EQ(shownNewsgroups(), QStringList{QStringLiteral("alt.a")});
    auto* followUp = control<QComboBox>("cbxFollowupTo");
    EXPECT_EQ(itemsOf(followUp), QStringList{QStringLiteral("alt.a")});
    EXPECT_EQ(followUp->currentText(), QString());
    EXPECT_TRUE(postItEnabled());

    followUp->setEditText(QStringLiteral("alt.a"));
    pressKey(view, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(shownNewsgroups().isEmpty());
    EXPECT_EQ(followUp->count(), 0);
    EXPECT_EQ(followUp->currentText(), QString());
    EXPECT_FALSE(postItEnabled());
}

TEST_F(MainWindowFieldsTest, DroppedTextFilesAskBeforeReplacingAndLoseNoLineEnds) {
    writeFile(dir / "message.TXT", "first\r\nsecond\rthird\n");
    writeFile(dir / "other.txt", "other");
    writeFile(dir / "picture.jpg", "\xff\xd8");
    writeFile(dir / "groups.txt", "alt.one\r\nalt.two\r\n");
    start();
    auto* editor = control<QPlainTextEdit>("mmoMessage");
    const QString was = editor->toPlainText();
    struct Case {
        PromptAnswer answer;
        QString expected;
    };
    const Case cases[] = {
        {PromptAnswer::Cancel, was},
        {PromptAnswer::No, was + QStringLiteral("\nfirst\nsecond\nthird")},
        {PromptAnswer::Yes, QStringLiteral("first\nsecond\nthird")},
    };
    for (const Case& c : cases) {
        editor->setPlainText(was);
        prompts.clear();
        prompts.answerNext(c.answer);
        ASSERT_TRUE(dropFiles(editor, {qpath(dir / "message.TXT")}));
        EXPECT_EQ(prompts.texts(),
                  std::vector<std::string>{"Do you want to replace the current message?"});
        EXPECT_EQ(editor->toPlainText(), c.expected);
    }

    // Two files: a warning, then the first is used; an empty editor simply takes it.
    editor->clear();
    prompts.clear();
    ASSERT_TRUE(dropFiles(editor, {qpath(dir / "other.txt"), qpath(dir / "message.TXT")}));
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{"Multiple files not allowed.  The first file in the\rlist "
                                       "will be used as the message file."});
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("other"));

    // Not a text file: asked, and No leaves things as they were.
    prompts.clear();
    prompts.answerNext(PromptAnswer::No);
    auto* signature = control<QLineEdit>("edtSignatureFile");
    ASSERT_TRUE(dropFiles(signature, {qpath(dir / "picture.jpg")}));
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{"File may not be a text file.  Continue anyway?"});
    EXPECT_EQ(signature->text(), QString());
    ASSERT_TRUE(dropFiles(signature, {qpath(dir / "other.txt")}));
    EXPECT_EQ(signature->text(), qpath(dir / "other.txt"));

    // Newsgroups: No appends, with no CR left on any name.
    prompts.clear();
    prompts.answerNext(PromptAnswer::No);
    ASSERT_TRUE(dropFiles(control<TVListBox>("lstNewsgroups"), {qpath(dir / "groups.txt")}));
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{"Do you want to replace the current list of newsgroups?"});
    const QStringList groups{QStringLiteral("alt.test"), QStringLiteral("alt.pictures"),
                             QStringLiteral("alt.one"), QStringLiteral("alt.two")};
    EXPECT_EQ(shownNewsgroups(), groups);
    EXPECT_EQ(itemsOf(control<QComboBox>("cbxFollowupTo")), groups);
}

TEST_F(MainWindowFieldsTest, TextFileDialogsAskAboutOtherExtensionsAsTyped) {
    writeFile(dir / "sig.TXT", "-- \r\nAnn\r\n");
    writeFile(dir / "message.txt", "Hello\r\nworld\r\n");
    start();
    files.answerNext(qpath(dir / "sig.TXT"));
    prompts.answerNext(PromptAnswer::No);
    control<QToolButton>("btnSignatureFile")->click();
    ASSERT_EQ(files.asked().size(), 1u);
    EXPECT_EQ(files.asked()[0].title, QStringLiteral("Signature File"));
    EXPECT_EQ(files.asked()[0].filters, (QStringList{QStringLiteral("Text Files (*.txt)"),
                                                     QStringLiteral("All Files (*.*)")}));
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{"File may not be a text file.  Continue anyway?"});
    EXPECT_EQ(control<QLineEdit>("edtSignatureFile")->text(), QString());

    files.answerNext(qpath(dir / "sig.TXT"));
    prompts.answerNext(PromptAnswer::Yes);
    control<QAction>("mniFileSelectSignatureFile")->trigger();
    EXPECT_EQ(control<QLineEdit>("edtSignatureFile")->text(), qpath(dir / "sig.TXT"));
    // The dialog starts at the signature file there is.
    control<QAction>("mniFileSelectSignatureFile")->trigger();
    EXPECT_EQ(files.asked()[2].startPath, qpath(dir / "sig.TXT"));
    EXPECT_EQ(control<QLineEdit>("edtSignatureFile")->text(), qpath(dir / "sig.TXT"));

    files.answerNext(qpath(dir / "message.txt"));
    control<QToolButton>("btnMessage")->click();
    EXPECT_EQ(files.asked()[3].title, QStringLiteral("Load Message From..."));
    EXPECT_EQ(control<QPlainTextEdit>("mmoMessage")->toPlainText(), QStringLiteral("Hello\nworld"));
}

TEST_F(MainWindowFieldsTest, TheEditorsMenuOffersWhatCanBeDone) {
    start();
    auto* editor = control<QPlainTextEdit>("mmoMessage");
    auto* menu = control<QMenu>("pumText");
    const auto enabledItems = [&] {
        QStringList enabled;
        QTimer::singleShot(0, menu, [&] {
            for (QAction* action : menu->actions())
                if (action->isVisible() && action->isEnabled() && !action->isSeparator())
                    enabled.append(action->objectName());
            menu->close();
        });
        emit editor->customContextMenuRequested(editor->rect().center());
        return enabled;
    };
    QApplication::clipboard()->clear();
    editor->moveCursor(QTextCursor::End);
    EXPECT_EQ(enabledItems(), QStringList{QStringLiteral("mniSelectAll")});

    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    editor->selectAll();
    EXPECT_EQ(enabledItems(), (QStringList{QStringLiteral("mniCut"), QStringLiteral("mniCopy"),
                                           QStringLiteral("mniPaste"), QStringLiteral("mniDelete"),
                                           QStringLiteral("mniSelectAll")}));
    control<QAction>("mniPaste")->trigger();
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("pasted"));
}

// Keyboards without a Menu key open pop-up menus with Shift+F10.
TEST_F(MainWindowFieldsTest, ShiftF10OpensTheFocusedControlsMenu) {
    start();
    ContextMenuKeys keys;
    qApp->installEventFilter(&keys);
    const struct {
        const char* page;
        const char* control;
        const char* menu;
    } cases[] = {
        {"tabMessage", "mmoMessage", "pumText"},
        {"tabNewsgroups", "lstNewsgroups", "pumListItems"},
        {"tabAttachments", "lstAttachments", "pumListItems"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.control);
        control<QTabWidget>("pgeKavrin")->setCurrentWidget(control<QWidget>(c.page));
        auto* target = control<QWidget>(c.control);
        target->setFocus();
        auto* menu = control<QMenu>(c.menu);
        bool shown = false;
        QTimer::singleShot(0, menu, [&] {
            shown = menu->isVisible();
            menu->close();
        });
        QTest::keyClick(target, Qt::Key_F10, Qt::ShiftModifier);
        QApplication::processEvents();  // the check runs here when no menu opened
        EXPECT_TRUE(shown);
    }
    // F10 alone and Shift+F9 are no menu keys.
    bool opened = false;
    QTimer::singleShot(0, [&] {
        if (QApplication::activePopupWidget()) {
            opened = true;
            QApplication::activePopupWidget()->close();
        }
    });
    QTest::keyClick(control<QWidget>("lstAttachments"), Qt::Key_F10);
    QTest::keyClick(control<QWidget>("lstAttachments"), Qt::Key_F9, Qt::ShiftModifier);
    QApplication::processEvents();
    EXPECT_FALSE(opened);
    qApp->removeEventFilter(&keys);
}

// Screen readers read controls by their accessible names; a control without one is a blank.
TEST_F(MainWindowFieldsTest, EveryVisibleControlOfEveryPageHasAnAccessibleName) {
    start();
    auto* pages = control<QTabWidget>("pgeKavrin");
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        savePicture(window.get(), QStringLiteral("main-window-page-%1").arg(page));
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(window.get()) || w->focusPolicy() == Qt::NoFocus)
                continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            ASSERT_NE(a, nullptr);
            EXPECT_FALSE(a->text(QAccessible::Name).trimmed().isEmpty())
                << "page " << page << ": " << w->metaObject()->className() << " "
                << w->objectName().toStdString();
        }
    }
}

// Everything a mouse does has a key: the pages by their underlined letters, Post It from inside
// the message editor, the list menu from the keyboard's menu key.
TEST_F(MainWindowFieldsTest, TheKeyboardReachesThePagesAndPostsFromTheEditor) {
    addServer("127.0.0.1", 9);  // nothing listens: the session ends at once
    TProject local = workProject();
    local.Server.HostName = "127.0.0.1";
    storeLast(local);
    start();
    auto* pages = control<QTabWidget>("pgeKavrin");
    const std::pair<Qt::Key, const char*> keys[] = {{Qt::Key_N, "tabNewsgroups"},
                                                    {Qt::Key_A, "tabAttachments"},
                                                    {Qt::Key_O, "tabOptions"},
                                                    {Qt::Key_P, "tabProgress"},
                                                    {Qt::Key_M, "tabMessage"}};
    for (const auto& [key, page] : keys) {
        pressKey(QApplication::focusWidget(), key, Qt::AltModifier);
        EXPECT_EQ(pages->currentWidget()->objectName(), QString::fromLatin1(page));
    }
    auto* editor = control<QPlainTextEdit>("mmoMessage");
    editor->setFocus();
    pressKey(editor, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(pages->currentWidget()->objectName(), QStringLiteral("tabProgress"));
    EXPECT_TRUE(control<QPlainTextEdit>("memProgress")
                    ->toPlainText()
                    .startsWith(QStringLiteral("Connecting to NNTP server: 127.0.0.1...")));
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("Some pictures.\n\nEnjoy!"));
}
