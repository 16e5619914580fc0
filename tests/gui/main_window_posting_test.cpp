// Posting from the main window to the loopback INN server, as a user does: Post It, the
// progress page while it runs, Stop, and the articles fetched back and decoded.

#include "main_window_fixture.h"

#include "support/nntp_test_support.h"

#include <QAction>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
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

    RunningState running;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (running.seen || !memo().contains(QStringLiteral("Connected to NNTP server")))
            return;
        running.seen = true;
        running.toolBar = control<QToolBar>("barCool")->isEnabled();
        running.fileMenu = control<QAction>("mniFileOpenProject")->isEnabled();
        running.postIt = control<QAction>("mniFilePostIt")->isEnabled();
        running.stop = control<QToolButton>("btnStopPosting")->isEnabled();
        running.progressPage = control<QTabWidget>("pgeKavrin")->currentWidget() ==
                               window->findChild<QWidget*>(QStringLiteral("tabProgress"));
    });
    watch.start(1);
    control<QToolButton>("btnPostIt")->click();
    watch.stop();

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
