#include "posting/posting_session.h"

#include "posting/project_plan.h"
#include "posting/server_connection.h"

#include "support/recording_prompts.h"
#include "support/scripted_nntp_server.h"
#include "support/nntp_test_support.h"
#include "support/temp_dir.h"
#include "support/wait.h"

#include <QDir>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The scripted server answering as a news server that takes articles: banner, MODE READER,
// 340 to POST, the given replies to the articles in turn, 205 to QUIT.
void script(ScriptedNntpServer& server, const QList<QByteArray>& articleReplies = {"240 ok"},
            const QByteArray& banner = "200 scripted ready (posting ok)") {
    server.banner = banner + "\r\n";
    server.replies("MODE", {banner + "\r\n"});
    server.replies("POST", {"340 send it\r\n"});
    QList<QByteArray> replies;
    for (const auto& r : articleReplies)
        replies.push_back(r == ScriptedNntpServer::kClose ? r : r + "\r\n");
    server.replies(".", replies);
    server.replies("QUIT", {"205 bye\r\n"});
}

std::string dump(const std::vector<std::string>& lines) {
    std::string all;
    for (const auto& l : lines)
        all += l + "\n";
    return all;
}

// A body given whole, or one of size bytes made up as it is read.
class TextBody : public NntpBodySource {
public:
    explicit TextBody(std::string text) : m_text(std::move(text)), m_size(m_text.size()) {}
    explicit TextBody(std::uint64_t size) : m_size(size), m_generated(true) {}
    std::uint64_t size() const override { return m_size; }
    bool next(std::string& out) override {
        if (m_done >= m_size)
            return false;
        if (!m_generated) {
            out += m_text;
            m_done = m_size;
            return true;
        }
        const std::string line(78, 'x');
        for (int i = 0; i < 1000 && m_done < m_size; ++i, m_done += 80)
            out += line + "\r\n";
        return true;
    }

private:
    std::string m_text;
    std::uint64_t m_size;
    bool m_generated = false;
    std::uint64_t m_done = 0;
};

struct Doc {
    std::string id;
    std::uint64_t bigSize = 0;            // 0: a short text body
    std::vector<CarriedFile> files = {};  // the attached files it carries a share of
};

// Batches of documents; a batch may instead throw the builder's error.
class FakePlan : public PostingPlan {
public:
    std::vector<std::vector<Doc>> Batches;
    int FailAtBatch = -1;
    std::string FailText;
    int BatchCountCalls = 0;

    int BatchCount() override {
        ++BatchCountCalls;
        return int(Batches.size());
    }
    void ComposeBatch(int batch, const PostingSend& send) override {
        if (batch == FailAtBatch)
            throw std::runtime_error(FailText);
        for (const Doc& d : Batches[std::size_t(batch)]) {
            PostingDocument doc;
            doc.From = "Poster <poster@example.invalid>";
            doc.Newsgroups = "local.test";
            doc.SentSubject = "subject " + d.id;
            doc.SentMessageId = "<" + d.id + "@example.invalid>";
            doc.Headers = {{"From", doc.From},
                           {"Newsgroups", doc.Newsgroups},
                           {"Subject", doc.SentSubject},
                           {"Message-Id", doc.SentMessageId}};
            doc.Body = d.bigSize ? std::make_unique<TextBody>(d.bigSize)
                                 : std::make_unique<TextBody>("body of " + d.id + "\r\n");
            doc.Files = d.files;
            send(doc);
        }
    }
};

// Everything the window would show, in order, as one list of "kind: text" entries.
class RecordingObserver : public PostingObserver {
public:
    std::vector<std::string> Events;
    std::vector<std::string> Memo;
    std::vector<int> Progress;
    std::function<void(const std::string&)> OnMemo;

    void MemoLine(const QString& line) override {
        Memo.push_back(line.toStdString());
        if (OnMemo)
            OnMemo(Memo.back());
    }
    void StatusText(const QString& text) override {
        Events.push_back("status: " + text.toStdString());
    }
    void ProgressValue(int value) override { Progress.push_back(value); }
    void BusyCursor(bool busy) override { Events.push_back(busy ? "busy" : "normal"); }
    void PostingCommands(bool posting) override {
        Events.push_back(posting ? "commands: posting" : "commands: idle");
    }
};

// Prompts that also note their box among the observer's events, to check the order.
class OrderedPrompts : public RecordingPrompts {
public:
    explicit OrderedPrompts(std::vector<std::string>& events) : m_events(events) {}
    PromptAnswer show(PromptKind kind, PromptButtons buttons, std::string_view text,
                      std::string_view caption = {}) override {
        m_events.push_back("box: " + std::string(text));
        return RecordingPrompts::show(kind, buttons, text, caption);
    }

private:
    std::vector<std::string>& m_events;
};

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class PostingSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureCoreApplication(); }
    void SetUp() override {
        script(server);
        m_oldCurrent = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir.path().string()));
        project.Name = "Untitled";
        project.Server.HostName = "127.0.0.1";
        project.Server.Port = server.port();
        nntp.ReplyTimeoutMs = 5000;
    }
    void TearDown() override { QDir::setCurrent(m_oldCurrent); }

    TempDir dir;
    QString m_oldCurrent;
    ScriptedNntpServer server;
    TProject project;
    TNNTP nntp;
    TNNTPJob job;
    TAdvanced advanced;
    RecordingObserver observer;
    OrderedPrompts prompts{observer.Events};
    TPostingSession session{nntp, job, advanced, prompts, observer};
    FakePlan plan;
};

}  // namespace

TEST_F(PostingSessionTest, ReportsEveryStepOfAPostingAndGivesTheWindowBack) {
    advanced.SaveLogFile = true;
    advanced.UseProjectNameAsLogFile = true;
    plan.Batches = {{{"a1"}}, {{"a2"}}};
    ASSERT_TRUE(session.Post(project, plan));

    const std::string host = "127.0.0.1";
    const std::vector<std::string> firstLines = {
        "Opening log file \"Untitled.txt\"",
        "Connecting to NNTP server: " + host + "...",
        "Resolving Host...",
        "Host Resolved",
        "Connected to NNTP server: " + host,
        "Waiting for banner...",
        "200 scripted ready (posting ok)",
        "Connection to NNTP server established",
        "Initiating document transfer for Message ID <a1@example.invalid>",
        "Subject: subject a1",
        "From: Poster <poster@example.invalid>",
        "Newsgroups: local.test",
        "Sending headers",
    };
    ASSERT_GE(observer.Memo.size(), firstLines.size());
    for (std::size_t i = 0; i < firstLines.size(); ++i)
        EXPECT_EQ(observer.Memo[i], firstLines[i]) << i;
    // Some resolver paths skip the lookup step; the lines above hold when it runs.
    const std::vector<std::string> lastLines = {
        "Disconnecting from NNTP server: " + host + "...",
        "Disconnected from NNTP server: " + host,
        "No connection to NNTP server",
    };
    EXPECT_TRUE(std::equal(lastLines.rbegin(), lastLines.rend(), observer.Memo.rbegin()));
    int posted = 0;
    for (const auto& line : observer.Memo) {
        posted += line.starts_with("Message posted (");
        EXPECT_EQ(line.find("before posting completed"), std::string::npos);
    }
    EXPECT_EQ(posted, 2);
    EXPECT_TRUE(contains(observer.Memo, "Sending message: 132 of 132 bytes (100%)"))
        << dump(observer.Memo);

    EXPECT_EQ(server.articles.size(), 2u);
    EXPECT_TRUE(waitFor([&] { return server.commands.back() == "QUIT"; }));
    EXPECT_TRUE(session.Result().Complete());
    EXPECT_FALSE(session.Running());
    EXPECT_EQ(job.Value, jobNothing);
    EXPECT_EQ(observer.Progress, (std::vector<int>{0, 50, 100, 0}));
    EXPECT_EQ(observer.Events.front(), "busy");
    EXPECT_EQ(observer.Events[1], "commands: posting");
    EXPECT_TRUE(contains(observer.Events, "status: Connecting..."));
    EXPECT_TRUE(contains(observer.Events, "status: Connected"));
    EXPECT_TRUE(contains(observer.Events, "status: Disconnecting..."));
    EXPECT_EQ(observer.Events.back(), "commands: idle");
    EXPECT_TRUE(prompts.shown().empty());

    // The log has what the memo has, the disconnect line with "..." added, and the end.
    const std::string log = readFile(dir / "Untitled.txt");
    EXPECT_NE(log.find("\r\nConnection to NNTP server established\r\n"), std::string::npos);
    EXPECT_NE(log.find("\r\nDisconnected from NNTP server: 127.0.0.1...\r\n"), std::string::npos);
    EXPECT_EQ(log.find("Opening log file"), std::string::npos);
    EXPECT_TRUE(log.ends_with("No connection to NNTP server\r\n\r\n\r\n"));
    EXPECT_EQ(advanced.LogFile, "LunetLog.txt");
}

TEST_F(PostingSessionTest, ARefusedOrLostArticleIsAnErrorAndNeverPosted) {
    struct Case {
        QList<QByteArray> replies;
        int posted;
        std::vector<std::string> boxes;
        bool serverClosed;
    } cases[] = {
        {{"441 437 Article rejected", "240 ok"}, 1, {"441 437 Article rejected"}, false},
        {{ScriptedNntpServer::kClose}, 0, {}, true},
    };
    for (const auto& c : cases) {
        ScriptedNntpServer s;
        script(s, c.replies);
        project.Server.Port = s.port();
        observer.Memo.clear();
        observer.Events.clear();
        prompts.clear();
        plan.Batches = {{{"r1"}, {"r2"}}};
        ASSERT_TRUE(session.Post(project, plan));
        EXPECT_EQ(session.Result().Articles, 2);
        EXPECT_EQ(session.Result().Posted, c.posted);
        EXPECT_FALSE(session.Result().Complete());
        int postedLines = 0;
        for (const auto& line : observer.Memo)
            postedLines += line.starts_with("Message posted");
        EXPECT_EQ(postedLines, c.posted);
        for (const auto& box : c.boxes)
            EXPECT_TRUE(contains(prompts.texts(), box)) << box;
        EXPECT_FALSE(prompts.shown().empty());
        // The error box comes with the normal cursor, though the session goes on.
        const auto& events = observer.Events;
        const auto box = std::find_if(events.begin(), events.end(),
                                      [](const std::string& e) { return e.starts_with("box: "); });
        ASSERT_NE(box, events.end());
        EXPECT_NE(std::find(events.begin(), box, "normal"), box) << dump(events);
        EXPECT_EQ(contains(observer.Memo, "NNTP server disconnected before posting completed"),
                  c.serverClosed)
            << dump(observer.Memo);
        EXPECT_EQ(observer.Events.back(), "commands: idle");
    }
}

// After the articles, the NZB file lists what the server accepted, and the memo names a file
// the server did not take whole. It goes where the command line says, else beside the project
// file when "Save NZB File" is on, else nowhere.
TEST_F(PostingSessionTest, TheNzbFileListsWhatTheServerAcceptedAndTheMemoNamesIncompleteFiles) {
    const auto part = [](const char* id, const std::string& name, std::uint32_t k,
                         std::uint32_t n) {
        return Doc{id, 0, {{1, name == "a.bin" ? 0u : 1u, "/f/" + name, name, k, n}}};
    };
    const std::vector<Doc> docs = {part("a1", "a.bin", 1, 3),
                                   part("a2", "a.bin", 2, 3),
                                   part("a3", "a.bin", 3, 3),
                                   part("b1", "b.bin", 1, 1),
                                   {"t1"}};
    const std::string incomplete = "NZB file: a.bin is incomplete (2 of 3 parts posted)";
    const struct {
        const char* what;
        QList<QByteArray> replies;
        bool setting;
        std::string nzbFile;
        std::string expected;  // the file saved; empty: none
        std::vector<std::string> memo;
        bool error;
    } cases[] = {
        {"setting off", {"240 ok", "441 refused", "240 ok"}, false, "", "", {}, false},
        {"command line",
         {"240 ok", "441 refused", "240 ok"},
         false,
         (dir / "out.nzb").string(),
         (dir / "out.nzb").string(),
         {incomplete, "Saved NZB file \"" + (dir / "out.nzb").string() + "\""},
         false},
        {"beside the project",
         {"240 ok", "441 refused", "240 ok"},
         true,
         "",
         (dir / "proj.nzb").string(),
         {incomplete, "Saved NZB file \"" + (dir / "proj.nzb").string() + "\""},
         false},
        {"unwritable", {"240 ok"}, false, (dir / "missing" / "x.nzb").string(), "", {}, true},
        {"nothing accepted",
         {"441 refused"},
         true,
         "",
         "",
         {"NZB file: a.bin is incomplete (0 of 3 parts posted)",
          "NZB file: b.bin is incomplete (0 of 1 parts posted)",
          "No NZB file saved: no part of an attached file was posted"},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedNntpServer s;
        script(s, c.replies);
        project.Server.Port = s.port();
        project.Name = (dir / "proj.kv32").string();
        advanced.SaveNzbFile = c.setting;
        session.SetNzbFile(c.nzbFile);
        std::filesystem::remove(dir / "proj.nzb");
        observer.Memo.clear();
        prompts.clear();
        plan.Batches = {docs};
        ASSERT_TRUE(session.Post(project, plan));
        std::vector<std::string> nzbLines;
        for (const auto& line : observer.Memo)
            if (line.find("NZB") != std::string::npos)
                nzbLines.push_back(line);
        EXPECT_EQ(nzbLines, c.memo) << dump(observer.Memo);
        EXPECT_EQ(session.Result().NzbFile, c.expected);
        EXPECT_EQ(!session.Result().NzbError.empty(), c.error || c.memo.size() == 3);
        if (c.error) {
            ASSERT_FALSE(prompts.texts().empty());
            EXPECT_TRUE(prompts.texts().back().starts_with("Unable to save NZB file \"" +
                                                           c.nzbFile + "\": "))
                << prompts.texts().back();
        }
        if (c.expected.empty()) {
            EXPECT_FALSE(std::filesystem::exists(dir / "proj.nzb"));
            continue;
        }
        const std::string xml = readFile(c.expected);
        for (const char* id :
             {">a1@example.invalid<", ">a3@example.invalid<", ">b1@example.invalid<"})
            EXPECT_NE(xml.find(id), std::string::npos) << id;
        EXPECT_EQ(xml.find("a2@"), std::string::npos);
        EXPECT_EQ(xml.find("t1@"), std::string::npos);
    }
}

TEST_F(PostingSessionTest, StopCancelsTheTransferAndStartsNoFurtherArticle) {
    // A second press must not hide what the first one did to the article in transfer.
    struct Case {
        PromptAnswer answer;
        int presses;
        int articles;
        std::size_t received;
    } cases[] = {
        {PromptAnswer::Yes, 1, 2, 1},
        {PromptAnswer::Yes, 2, 2, 1},
        {PromptAnswer::No, 2, 4, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.answer == PromptAnswer::Yes ? "Yes" : "No")
                                          << " pressed " << c.presses << " times");
        ScriptedNntpServer s;
        script(s);
        project.Server.Port = s.port();
        observer.Memo.clear();
        observer.Events.clear();
        prompts.clear();
        for (int i = 0; i < c.presses; ++i)
            prompts.answerNext(c.answer);
        // Stop is pressed while the second article, a large one, is on its way.
        bool pressed = false;
        observer.OnMemo = [&](const std::string& line) {
            if (!pressed && line.starts_with("Sending message:") &&
                session.Result().Articles == 2) {
                pressed = true;
                QTimer::singleShot(0, [&] {
                    for (int i = 0; i < c.presses; ++i)
                        session.RequestStop();
                });
            }
        };
        plan.Batches = {{{"s1"}, {"s2", 8u << 20}, {"s3"}}, {{"s4"}}};
        ASSERT_TRUE(session.Post(project, plan));
        observer.OnMemo = nullptr;
        EXPECT_EQ(observer.Events.back(), "commands: idle");
        EXPECT_FALSE(session.Running());
        // Whatever the client sent has reached the server once it has seen the connection end.
        ASSERT_TRUE(waitFor([&] { return s.disconnections > 0; }));

        EXPECT_TRUE(pressed);
        EXPECT_EQ(prompts.texts(),
                  (std::vector<std::string>(std::size_t(c.presses), "Stop posting?")));
        EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Confirmation);
        EXPECT_EQ(prompts.shown()[0].buttons, PromptButtons::YesNo);
        EXPECT_EQ(session.Result().Articles, c.articles);
        EXPECT_EQ(s.articles.size(), c.received);
        EXPECT_EQ(session.Result().Stopped, c.answer == PromptAnswer::Yes);
        // Every Yes says so in the memo.
        EXPECT_EQ(
            std::count(observer.Memo.begin(), observer.Memo.end(), "User cancelled posting..."),
            c.answer == PromptAnswer::Yes ? c.presses : 0);
        if (c.answer == PromptAnswer::Yes) {
            // The cut-off article never got its end, so the server holds nothing of it.
            EXPECT_EQ(s.commands.count("POST"), 2);
            EXPECT_TRUE(contains(observer.Memo, "Transfer aborted"));
        }
        for (const auto& line : observer.Memo)
            EXPECT_EQ(line.find("before posting completed"), std::string::npos) << line;
        EXPECT_TRUE(contains(observer.Memo, "Disconnecting from NNTP server: 127.0.0.1..."));
    }
}

TEST_F(PostingSessionTest, ABuilderErrorEndsThePostingThenShowsAStopBox) {
    plan.Batches = {{{"e1"}}, {}, {{"e3"}}};
    plan.FailAtBatch = 1;
    plan.FailText = "A subject is reqired to post a message";
    ASSERT_TRUE(session.Post(project, plan));
    EXPECT_TRUE(
        waitFor([&] { return !server.commands.isEmpty() && server.commands.back() == "QUIT"; }));
    EXPECT_EQ(server.articles.size(), 1u);
    ASSERT_EQ(prompts.shown().size(), 1u);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
    EXPECT_EQ(prompts.shown()[0].caption, kApplicationTitle);
    EXPECT_EQ(prompts.shown()[0].text, "A subject is reqired to post a message.");
    // The window is given back first.
    const auto& events = observer.Events;
    const auto box =
        std::find(events.begin(), events.end(), "box: A subject is reqired to post a message.");
    const auto idle = std::find(events.begin(), events.end(), "commands: idle");
    EXPECT_LT(idle, box);
    EXPECT_NE(box, events.end());
    EXPECT_EQ(session.Result().Error, plan.FailText);
    EXPECT_FALSE(session.Result().Complete());

    // A text that ends in a full stop gets none added.
    prompts.clear();
    plan.FailAtBatch = 0;
    plan.FailText = "Could not read attachment /tmp/x.";
    ASSERT_TRUE(session.Post(project, plan));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{plan.FailText});
}

TEST_F(PostingSessionTest, AFailedConnectionEndsTheSessionWithNothingBuilt) {
    advanced.SaveLogFile = true;
    advanced.UseProjectNameAsLogFile = false;
    advanced.LogFile = "run.log";
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    project.Server.Port = closed.serverPort();
    closed.close();
    plan.Batches = {{{"c1"}}};
    ASSERT_TRUE(session.Post(project, plan));
    EXPECT_FALSE(session.Result().Connected);
    EXPECT_FALSE(session.Result().Complete());
    EXPECT_EQ(plan.BatchCountCalls, 0);
    EXPECT_FALSE(prompts.shown().empty());  // the client's error
    EXPECT_EQ(observer.Events.back(), "commands: idle");
    EXPECT_TRUE(contains(observer.Events, "normal"));
    EXPECT_TRUE(readFile(dir / "run.log").ends_with("\r\n\r\n\r\n"));
    EXPECT_FALSE(session.Running());
}

TEST_F(PostingSessionTest, BannerCodeNotTheTextDecidesTheQuestion) {
    struct Case {
        const char* banner;
        bool asked;
        PromptAnswer answer;
        std::size_t posted;
    } cases[] = {
        {"200 news 2001 ready", false, PromptAnswer::No, 1},
        {"201 news 2003 ready (no posting)", true, PromptAnswer::No, 0},
        {"201 news ready (no posting)", true, PromptAnswer::Yes, 1},
    };
    for (const auto& c : cases) {
        ScriptedNntpServer s;
        script(s, {"240 ok"}, c.banner);
        project.Server.Port = s.port();
        observer.Memo.clear();
        prompts.clear();
        prompts.setDefaultAnswer(c.answer);
        plan.Batches = {{{"b1"}}};
        ASSERT_TRUE(session.Post(project, plan));
        EXPECT_EQ(s.articles.size(), c.posted) << c.banner << dump(observer.Memo);
        const std::string question = "127.0.0.1 may not allow posting.  Do you want to continue?";
        EXPECT_EQ(contains(prompts.texts(), question), c.asked) << c.banner;
        if (c.asked) {
            EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Warning);
            EXPECT_EQ(prompts.shown()[0].buttons, PromptButtons::YesNo);
        }
        for (const auto& line : observer.Memo)
            EXPECT_EQ(line.find("before posting completed"), std::string::npos) << line;
        EXPECT_EQ(observer.Events.back(), "commands: idle");
    }
}

TEST_F(PostingSessionTest, APasswordNeverShowsInLinesLogsOrBoxes) {
    advanced.SaveLogFile = true;
    advanced.UseProjectNameAsLogFile = false;
    advanced.LogFile = "auth.log";
    project.Server.UserName = "poster";
    project.Server.Password = "s3cret-pw";
    const struct {
        QByteArray passReply;
        const char* memo;
        const char* logged;
    } cases[] = {
        {"281 welcome s3cret-pw", "Authenticated", "Authenticated poster"},
        {"481 password s3cret-pw rejected", "Authentication failed", "Authentication failed"},
    };
    for (const auto& c : cases) {
        ScriptedNntpServer s;
        script(s);
        s.replies("AUTHINFO", {"381 password please\r\n", c.passReply + "\r\n"});
        project.Server.Port = s.port();
        observer.Memo.clear();
        prompts.clear();
        plan.Batches = {{{"p1"}}};
        ASSERT_TRUE(session.Post(project, plan));
        EXPECT_TRUE(contains(observer.Memo, c.memo));
        EXPECT_NE(readFile(dir / "auth.log").find(std::string("\r\n") + c.logged + "\r\n"),
                  std::string::npos);
        EXPECT_TRUE(s.commands.contains("AUTHINFO PASS s3cret-pw"));
    }
    std::vector<std::string> shown = observer.Memo;
    for (const auto& t : prompts.texts())
        shown.push_back(t);
    shown.push_back(readFile(dir / "auth.log"));
    for (const auto& text : shown)
        EXPECT_EQ(text.find("s3cret-pw"), std::string::npos) << text;
}

TEST_F(PostingSessionTest, NoSecondPostingStartsInsideARunningOne) {
    bool tried = false;
    bool started = true;
    observer.OnMemo = [&](const std::string& line) {
        if (!tried && line == "Sending headers") {
            tried = true;
            FakePlan other;
            other.Batches = {{{"x1"}}};
            started = session.Post(project, other);
        }
    };
    plan.Batches = {{{"n1"}}};
    ASSERT_TRUE(session.Post(project, plan));
    EXPECT_TRUE(tried);
    EXPECT_FALSE(started);
    EXPECT_EQ(server.articles.size(), 1u);
    EXPECT_EQ(server.connections, 1);
}

TEST_F(PostingSessionTest, AnOpenConnectionIsReusedOnlyForTheSameServerReachedTheSameWay) {
    // A connection left open (as an earlier failed attempt may leave it), then the server
    // record as the posting finds it.
    struct Case {
        const char* what;
        bool otherPort;
        std::int32_t security;
        bool reused;
    } cases[] = {
        {"the same server", false, kSecurityNone, true},
        {"another server", true, kSecurityNone, false},
        // The article and the login must not go out over the old plain connection: a new one
        // is made, which asks for STARTTLS (the scripted server has none, so nothing is posted).
        {"the same server, since switched to STARTTLS", false, kSecurityStartTls, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedNntpServer first;
        ScriptedNntpServer second;
        script(first);
        script(second);
        project.Server.Port = first.port();
        project.Server.Security = kSecurityNone;
        aimAt(nntp, project.Server);
        nntp.Connect(nntp.RemoteHost, nntp.RemotePort);
        ASSERT_TRUE(waitFor([&] { return nntp.ProtocolState() == prcReady; }));

        observer.Memo.clear();
        project.Server.Port = c.otherPort ? second.port() : first.port();
        project.Server.Security = c.security;
        plan.Batches = {{{"u1"}}};
        // A session that has not closed a connection of its own yet.
        TPostingSession fresh{nntp, job, advanced, prompts, observer};
        ASSERT_TRUE(fresh.Post(project, plan));
        EXPECT_EQ(first.connections, c.otherPort ? 1 : (c.reused ? 1 : 2));
        EXPECT_EQ(first.articles.size(), c.reused ? 1u : 0u);
        EXPECT_EQ(second.articles.size(), c.otherPort ? 1u : 0u);
        EXPECT_EQ(contains(observer.Memo, "Connecting to NNTP server: 127.0.0.1..."), !c.reused);
        EXPECT_EQ(first.commands.contains("STARTTLS"), c.security == kSecurityStartTls);
        EXPECT_EQ(fresh.Result().Complete(), c.security == kSecurityNone);
    }
}

TEST_F(PostingSessionTest, AnAttachedFileThatReadsShortEndsThePostingWithNothingOfItPosted) {
    const std::filesystem::path file = dir / "shrinks.bin";
    writeFile(file, std::string(100000, 'x'));
    project.FromName = "Poster";
    project.Subject = "short read";
    project.Crosspost = false;
    project.SetNewsgroupsText("local.one\r\nlocal.two\r\n");
    project.Body = {"text"};
    project.AttachmentsText = file.string() + "\r\n";
    const ValueLists lists;
    const TMIME mime;
    ArticleBuilder builder(project, lists, mime, ComposeEnvironment{}, prompts);
    ProjectPostingPlan realPlan(project, builder);
    // The file loses its end after the builder measured it, as the transfer begins.
    observer.OnMemo = [&](const std::string& line) {
        if (line == "Sending headers")
            std::filesystem::resize_file(file, 1000);
    };
    ASSERT_TRUE(session.Post(project, realPlan));
    // The connection is dropped in the middle of the article, not ended with ".".
    EXPECT_TRUE(waitFor([&] { return server.disconnections == 1; }));
    EXPECT_TRUE(server.articles.isEmpty());
    EXPECT_EQ(server.commands.count("POST"), 1);
    EXPECT_EQ(session.Result().Articles, 1);
    const std::string stopBox = "Could not read attachment " + file.string() + ".";
    ASSERT_FALSE(prompts.shown().empty());
    EXPECT_EQ(prompts.shown().back().text, stopBox);
    EXPECT_EQ(prompts.shown().back().caption, kApplicationTitle);
    EXPECT_TRUE(contains(observer.Memo, "Transfer aborted"));
    for (const auto& line : observer.Memo)
        EXPECT_FALSE(line.starts_with("Message posted")) << line;
}
