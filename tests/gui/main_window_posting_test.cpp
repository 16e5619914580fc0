// Posting from the main window to the loopback INN server, as a user does: Post It, the
// progress page while it runs, Stop, and the articles fetched back and decoded.

#include "main_window_fixture.h"

#include "gui/newsgroup_servers_dialog.h"
#include "gui/newsgroups_dialog.h"
#include "gui/server_properties_dialog.h"
#include "support/nntp_test_support.h"
#include "widgets/vlistbox.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

// The Message-IDs the memo reports, in posting order.
std::vector<std::string> postedIds(const QString& memo) {
    const QString prefix = QStringLiteral("Initiating document transfer for Message ID ");
    std::vector<std::string> ids;
    for (const QString& line : memo.split(QLatin1Char('\n')))
        if (line.startsWith(prefix))
            ids.push_back(line.mid(prefix.size()).toStdString());
    return ids;
}

// What the window looks like while a session runs.
struct RunningState {
    bool seen = false;
    bool toolBar = true;
    bool fileMenu = true;
    bool postIt = true;
    bool stop = false;
    bool progressPage = false;
};

}  // namespace

class MainWindowPostingTest : public MainWindowTest {
protected:
    void SetUp() override {
        inn = innTestServerOrStop();
        if (!inn)
            return;
        addServer(inn->host.toStdString(), inn->port);
        TProject defaults = TProject::FirstStartDefault();
        ASSERT_TRUE(SaveProjectToRegistry(defaults, "Default", store, prompts));
        project = workProject();
        project.Server.HostName = inn->host.toStdString();
        project.Server.Port = inn->port;
        project.Subject = "k32 window " + uniqueMessageId("subject");
        project.FollowUpTo.clear();
        project.SetNewsgroupsText(inn->groups[0].toStdString() + "\r\n");
        project.EncodingMethod = kEncodingBase64;
        project.PostSeparateMessageForEachAttachedFile = false;
        advanced.HostName = "k32.test";
    }

    QString memo() { return control<QPlainTextEdit>("memProgress")->toPlainText(); }

    std::optional<InnTestServer> inn;
    TProject project;
};

TEST_F(MainWindowPostingTest, PostItSendsTheProjectAndTheArticlesDecodeToTheFile) {
    if (!inn)
        return;
    const std::string data = randomBytes(300000, 7);
    writeFile(dir / "picture.bin", data);
    project.AttachmentsText = (dir / "picture.bin").string() + "\r\n";
    storeLast(project);
    start();

    // The first turn of the event loop comes inside the session, while it connects.
    RunningState running;
    QTimer::singleShot(0, [&] {
        running.seen = true;
        running.toolBar = control<QToolBar>("barCool")->isEnabled();
        running.fileMenu = control<QAction>("mniFileOpenProject")->isEnabled();
        running.postIt = control<QAction>("mniFilePostIt")->isEnabled();
        running.stop = control<QToolButton>("btnStopPosting")->isEnabled();
        running.progressPage = control<QTabWidget>("pgeKavrin")->currentWidget() ==
                               window->findChild<QWidget*>(QStringLiteral("tabProgress"));
    });
    control<QToolButton>("btnPostIt")->click();

    EXPECT_TRUE(running.seen);
    EXPECT_FALSE(running.toolBar);
    EXPECT_FALSE(running.fileMenu);
    EXPECT_FALSE(running.postIt);
    EXPECT_TRUE(running.stop);
    EXPECT_TRUE(running.progressPage);
    // The window is idle again.
    EXPECT_TRUE(control<QToolBar>("barCool")->isEnabled());
    EXPECT_TRUE(control<QAction>("mniFilePostIt")->isEnabled());
    EXPECT_FALSE(control<QToolButton>("btnStopPosting")->isEnabled());
    EXPECT_EQ(control<QProgressBar>("barProgress")->value(), 0);
    EXPECT_TRUE(prompts.texts().empty()) << prompts.texts().front();

    const QString text = memo();
    EXPECT_TRUE(text.contains(QStringLiteral("Message posted"))) << text.toStdString();
    const std::vector<std::string> ids = postedIds(text);
    ASSERT_EQ(ids.size(), 1u) << text.toStdString();
    std::string why;
    const auto article = fetchArticle(inn->host, inn->port, ids[0], &why);
    ASSERT_TRUE(article) << why;
    EXPECT_EQ(articleHeader(*article, "Subject"), project.Subject + " - picture.bin");
    const std::filesystem::path fetched = dir / "fetched.txt";
    writeFile(fetched, *article);
    const std::filesystem::path out = dir / "decoded";
    std::filesystem::create_directories(out);
    QProcess munpack;
    munpack.setWorkingDirectory(QString::fromStdString(out.string()));
    munpack.start(QStringLiteral("munpack"),
                  {QStringLiteral("-f"), QStringLiteral("-q"), QStringLiteral("-C"),
                   QString::fromStdString(out.string()), QString::fromStdString(fetched.string())});
    ASSERT_TRUE(munpack.waitForFinished(60000));
    EXPECT_EQ(munpack.exitCode(), 0);
    EXPECT_EQ(readFile(out / "picture.bin"), data);
}

// Stop asks, ends the session at once and gives the window back; closing while a posting runs
// stops it the same way and closes the window when the session has ended.
TEST_F(MainWindowPostingTest, StopAndClosingWhilePostingEndTheSessionFirst) {
    if (!inn)
        return;
    storeLast(project);
    start();
    prompts.answerNext(PromptAnswer::Yes);
    QTimer::singleShot(0, control<QToolButton>("btnStopPosting"), &QToolButton::click);
    control<QAction>("mniFilePostIt")->trigger();
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Stop posting?"});
    EXPECT_TRUE(memo().contains(QStringLiteral("User cancelled posting...")));
    EXPECT_TRUE(postedIds(memo()).empty());
    EXPECT_TRUE(control<QAction>("mniFilePostIt")->isEnabled());
    EXPECT_TRUE(window->isVisible());

    prompts.clear();
    prompts.answerNext(PromptAnswer::Yes);
    QTimer::singleShot(0, window.get(), &QWidget::close);
    control<QAction>("mniFilePostIt")->trigger();
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Stop posting?"});
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(storedProject("Last").Subject, project.Subject);
}

// A first run as a user goes through it: an empty settings store, the test server added from
// the first-run question with its list fetched, two of its groups picked, a file attached,
// Post It, and the articles fetched back from the server and decoded.
TEST_F(MainWindowTest, AFirstRunAddsTheServerPicksTwoGroupsAndPostsAFileThatDecodes) {
    const auto inn = innTestServerOrStop();
    if (!inn)
        return;
    const QString host = inn->host;
    const QStringList picks = {inn->groups[0], inn->groups[1]};

    prompts.answerNext(PromptAnswer::Yes);  // set up a newsgroup server now?
    prompts.answerNext(PromptAnswer::Yes);  // retrieve the list of newsgroups now?
    prompts.answerNext(PromptAnswer::No);   // set up project preferences now?
    const auto serverList = ModalHandler::on<TfrmNewsgroupServers>([&](TfrmNewsgroupServers* d) {
        const auto properties =
            ModalHandler::on<TfrmServerProperties>([&](TfrmServerProperties* p) {
                p->findChild<QLineEdit*>(QStringLiteral("edtNewsgroupServer"))->setText(host);
                p->findChild<QSpinBox*>(QStringLiteral("spnPortNumber"))->setValue(inn->port);
                QTest::mouseClick(p->findChild<QWidget*>(QStringLiteral("btnOk")), Qt::LeftButton);
                // It closes itself once the list is in.
            });
        QTest::mouseClick(d->findChild<QWidget*>(QStringLiteral("btnAdd")), Qt::LeftButton);
        QTest::mouseClick(d->findChild<QWidget*>(QStringLiteral("btnOk")), Qt::LeftButton);
    });
    start();
    ASSERT_TRUE(serverList.acted());
    TServer stored;
    stored.HostName = host.toStdString();
    ASSERT_TRUE(LoadServer(stored, store, prompts));
    EXPECT_GT(stored.NumberOfNewsgroups, 2) << ::testing::PrintToString(prompts.texts());

    // The server chosen in the box, the groups picked in the selection dialog.
    auto* server = control<QComboBox>("cbxNewsgroupServer");
    ASSERT_EQ(server->findText(host), 0);
    server->setFocus();
    QTest::keyClick(server, Qt::Key_Down);
    ASSERT_EQ(server->currentText(), host);
    {
        const auto selection = ModalHandler::on<TfrmNewsgroups>([&](TfrmNewsgroups* d) {
            auto* available = d->findChild<TVListBox*>(QStringLiteral("lstAvailableNewsgroups"));
            const TNewsgroupList& names = d->AvailableNewsgroups();
            Qt::KeyboardModifiers mods = Qt::NoModifier;
            for (const QString& group : picks) {
                const auto at =
                    std::find(names.names().begin(), names.names().end(), group.toStdString());
                ASSERT_NE(at, names.names().end()) << group.toStdString();
                available->SetItemIndex(static_cast<int>(at - names.names().begin()));
                clickAt(available->viewport(), available->RowRect(available->ItemIndex()).center(),
                        mods);
                mods = Qt::ControlModifier;
            }
            QTest::mouseClick(d->findChild<QWidget*>(QStringLiteral("btnAddSelected")),
                              Qt::LeftButton);
            QTest::mouseClick(d->findChild<QWidget*>(QStringLiteral("btnOk")), Qt::LeftButton);
        });
        control<QToolButton>("btnNewsgroups")->click();
    }
    EXPECT_EQ(window->targetNewsgroups(), picks);

    // The headers, and a file attached through the file dialog.
    const std::string data = randomBytes(150000, 11);
    writeFile(dir / "holiday.bin", data);
    const std::string subject = "k32 first run " + uniqueMessageId("e2e");
    control<QComboBox>("cbxSubject")->setEditText(QString::fromStdString(subject));
    control<QComboBox>("cbxFromName")->setEditText(QStringLiteral("Kavrin Tester"));
    control<QComboBox>("cbxFromEmailAddress")->setEditText(QStringLiteral("tester@k32.test"));
    files.answerNext(QString::fromStdString((dir / "holiday.bin").string()));
    control<QToolButton>("btnAttachments")->click();
    advanced.HostName = "k32.test";

    ASSERT_TRUE(control<QAction>("mniFilePostIt")->isEnabled())
        << control<QAction>("mniFilePostIt")->toolTip().toStdString();
    prompts.clear();
    control<QToolButton>("btnPostIt")->click();
    const QString memo = control<QPlainTextEdit>("memProgress")->toPlainText();
    EXPECT_TRUE(prompts.texts().empty()) << prompts.texts().front();
    const std::vector<std::string> ids = postedIds(memo);
    ASSERT_FALSE(ids.empty()) << memo.toStdString();

    // Every article is on the server, in both groups, and together they decode to the file.
    const std::filesystem::path fetched = dir / "fetched";
    std::filesystem::create_directories(fetched);
    QStringList articles;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        std::string why;
        const auto article = fetchArticle(inn->host, inn->port, ids[i], &why);
        ASSERT_TRUE(article) << why;
        EXPECT_EQ(articleHeader(*article, "Newsgroups"),
                  (picks[0] + QLatin1Char(',') + picks[1]).toStdString());
        const std::filesystem::path file = fetched / ("article" + std::to_string(i) + ".txt");
        writeFile(file, *article);
        articles << QString::fromStdString(file.string());
    }
    const std::filesystem::path out = dir / "decoded";
    std::filesystem::create_directories(out);
    QProcess uudeview;
    uudeview.start(QStringLiteral("uudeview"),
                   QStringList{QStringLiteral("-i"), QStringLiteral("-q"), QStringLiteral("-p"),
                               QString::fromStdString(out.string())} +
                       articles);
    ASSERT_TRUE(uudeview.waitForFinished(60000));
    EXPECT_EQ(readFile(out / "holiday.bin"), data);
}
