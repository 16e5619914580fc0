#include "newsgroups/retrieval.h"

#include "support/nntp_test_support.h"
#include "support/scripted_nntp_server.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

// Runs the event loop until the condition holds or the time is up. The limit is generous: a
// million-group list takes seconds under the sanitizers, more on a loaded machine.
bool waitFor(const std::function<bool()>& done, int ms = 90000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

class Observer : public TRetrievalObserver {
public:
    void statusChanged(int panel, const QString& text) override {
        (panel == 0 ? status : counts).push_back(text.toStdString());
    }
    void busyChanged(bool b) override {
        busy.push_back(b);
        if (!b)
            ++ended;
    }
    void buttonsChanged(const TRetrievalButtons& b) override { buttons = b; }
    void retrievalCompleted() override {
        ++completed;
        if (onCompleted)
            onCompleted();
    }

    std::vector<std::string> status, counts;
    std::vector<bool> busy;
    TRetrievalButtons buttons{true, true, true};
    int ended = 0;
    int completed = 0;
    std::function<void()> onCompleted;
};

Names namesOf(const TNewsgroupList& list) {
    return Names(list.names().begin(), list.names().end());
}

bool contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

// One LIST line per name, in the order given.
QByteArray listLines(const Names& names) {
    QByteArray out;
    for (const std::string& n : names)
        out += QByteArray::fromStdString(n) + " 0000000010 0000000001 y\r\n";
    return out;
}

// Sockets need the application object before they are made.
struct WithApp {
    WithApp() { ensureCoreApplication(); }
};

class RetrievalTest : public ::testing::Test, private WithApp {
protected:
    RetrievalTest() {
        record.HostName = "127.0.0.1";
        record.Port = server.port();
        policy.saveRecord = [this](const TServer& r) { saved.push_back(r); };
        server.replies("MODE", {"200 reader\r\n"});
        server.replies("QUIT", {"205 bye\r\n"});
    }

    // The whole answer to LIST, status line included.
    void listReply(const QByteArray& reply) { server.replies("LIST", {reply}); }

    TNewsgroupRetrieval& engine() {
        if (!m_engine)
            m_engine = std::make_unique<TNewsgroupRetrieval>(nntp, job, record, list, observer,
                                                             prompts, policy, data.path());
        return *m_engine;
    }
    void destroyEngine() { m_engine.reset(); }

    // Runs Get (or Update) to its end.
    void run(bool update = false) {
        const int before = observer.ended;
        update ? engine().updateNewsgroups() : engine().getNewsgroups();
        ASSERT_TRUE(waitFor([&] { return observer.ended > before; }));
        ASSERT_TRUE(waitFor([&] {
            // Closed, or left open and ready after a failure; not halfway through a goodbye.
            return nntp.State() == nsDisconnected || nntp.State() == nsNone ||
                   (nntp.State() == nsConnected && nntp.ProtocolState() == prcReady);
        }));
    }

    std::filesystem::path file() const { return data / "127.0.0.1.txt"; }

    // A stored list, file and record as an earlier fetch left them.
    void storeOldList(const Names& names) {
        std::string text;
        for (const std::string& n : names)
            text += n + "\r\n";
        writeFile(file(), text);
        ASSERT_TRUE(loadNewsgroupList(file(), list));
        record.NumberOfNewsgroups = static_cast<int>(names.size());
        record.LastUpdated = 46000.5;
    }

    TempDir data;
    ScriptedNntpServer server;
    TServer record;
    TNewsgroupList list;
    TNNTP nntp;
    TNNTPJob job;
    RecordingPrompts prompts;
    Observer observer;
    TRetrievalPolicy policy;
    std::vector<TServer> saved;

private:
    std::unique_ptr<TNewsgroupRetrieval> m_engine;
};

TEST_F(RetrievalTest, GetTakesTheFirstFieldOfEveryLine) {
    struct Case {
        const char* what;
        QByteArray reply;
        Names expected;
    };
    const std::vector<Case> cases = {
        {"LIST lines, sorted without regard to case",
         "215 list\r\nzeta.b 10 1 y\r\nAlt.test 5 1 m\r\nalt.atheism 0 1 n\r\n.\r\n",
         {"alt.atheism", "Alt.test", "zeta.b"}},
        {"names that begin with digits are taken whole",
         "215 list\r\n3dfx.products 10 1 y\r\n0.test 5 1 y\r\n42 1 1 y\r\n.\r\n",
         {"0.test", "3dfx.products", "42"}},
        {"blank lines and lines of blanks contribute nothing",
         "215 list\r\n\r\na.one 1 1 y\r\n   \r\n\r\na.two 2 1 y\r\n\r\n.\r\n",
         {"a.one", "a.two"}},
        {"lines ended by a lone CR",
         "215 list\r\na.one 1 1 y\ra.two 2 1 y\r\ra.three 3 1 y\r\n.\r\n",
         {"a.one", "a.three", "a.two"}},
        {"lines ended by LF only, tabs between fields",
         "215 list\nb.two\t2\t1\ty\na.one 1 1 y\n.\n",
         {"a.one", "b.two"}},
        {"an empty list", "215 list\r\n.\r\n", {}},
    };
    for (const Case& c : cases) {
        listReply(c.reply);
        saved.clear();
        ASSERT_NO_FATAL_FAILURE(run()) << c.what;
        EXPECT_EQ(namesOf(list), c.expected) << c.what;
        std::string content;
        for (const std::string& n : c.expected)
            content += n + "\r\n";
        EXPECT_EQ(readFile(file()), content) << c.what;
        EXPECT_EQ(record.NumberOfNewsgroups, static_cast<int>(c.expected.size())) << c.what;
        ASSERT_EQ(saved.size(), 1u) << c.what;
        EXPECT_EQ(saved[0].NumberOfNewsgroups, record.NumberOfNewsgroups);
        EXPECT_TRUE(prompts.shown().empty()) << c.what;
    }
    EXPECT_EQ(observer.completed, static_cast<int>(cases.size()));
    EXPECT_LT(std::fabs(record.LastUpdated - toRecordDateTime(QDateTime::currentDateTime())),
              1.0 / 24 / 60);
    EXPECT_EQ(server.commands.count("LIST"), static_cast<int>(cases.size()));
    // Each fetch connected, said goodbye and left the job free.
    EXPECT_TRUE(
        waitFor([&] { return server.commands.count("QUIT") == static_cast<int>(cases.size()); }));
    EXPECT_EQ(job.Value, jobNothing);
}

TEST_F(RetrievalTest, TheDialogSeesStatusTextsCursorAndButtons) {
    listReply("215 list\r\n" + listLines({"b", "a"}) + ".\r\n");
    engine().getNewsgroups();
    EXPECT_EQ(observer.busy, (std::vector<bool>{true}));
    EXPECT_EQ(observer.buttons, TRetrievalButtons{});
    EXPECT_TRUE(engine().running());
    ASSERT_TRUE(waitFor([&] { return observer.ended == 1; }));
    ASSERT_TRUE(waitFor([&] { return nntp.State() == nsDisconnected; }));
    EXPECT_EQ(observer.busy, (std::vector<bool>{true, false}));
    EXPECT_EQ(observer.buttons, (TRetrievalButtons{true, true, true}));
    const std::vector<std::string> expected = {
        "Connecting...", "Resolving Host",           "Host Resolved",
        "Connected",     "Retrieving newsgroups...", "Parsing newsgroups...",
        "Sorting...",    "Disconnecting...",         ""};
    EXPECT_EQ(observer.status, expected);
    EXPECT_TRUE(contains(observer.counts, " 2 newsgroups      "));
    EXPECT_EQ(observer.counts.back(), "");
    EXPECT_TRUE(std::any_of(observer.counts.begin(), observer.counts.end(),
                            [](const std::string& s) { return s.ends_with(" bytes read      "); }));

    // The dialog's own rule for Get, and Update only once a list was fetched.
    policy.getAllowed = [] { return false; };
    TServer fresh;
    record = fresh;
    EXPECT_EQ(engine().idleButtons(), (TRetrievalButtons{true, false, true}));
}

TEST_F(RetrievalTest, UpdateAddsOnlyGroupsNotYetInTheList) {
    storeOldList({"a.one", "c.three"});
    const double since = record.LastUpdated;
    server.replies("NEWGROUPS", {"231 new groups\r\n" +
                                 listLines({"c.three", "b.two", "b.two", "0day.new"}) + ".\r\n"});
    ASSERT_NO_FATAL_FAILURE(run(true));
    EXPECT_EQ(namesOf(list), (Names{"0day.new", "a.one", "b.two", "c.three"}));
    EXPECT_EQ(readFile(file()), "0day.new\r\na.one\r\nb.two\r\nc.three\r\n");
    EXPECT_EQ(record.NumberOfNewsgroups, 4);
    EXPECT_GT(record.LastUpdated, since);
    const QByteArray when =
        fromRecordDateTime(since).toUTC().toString(QStringLiteral("yyyyMMdd HHmmss")).toLatin1();
    EXPECT_TRUE(server.commands.contains("NEWGROUPS " + when + " GMT"));
    EXPECT_TRUE(contains(observer.status, "Retrieving new newsgroups..."));
    // The count shown once the reply is parsed is the one the list and record get, not one
    // that counts the repeats.
    EXPECT_TRUE(contains(observer.counts, " 4 newsgroups      "));
    EXPECT_FALSE(contains(observer.counts, " 6 newsgroups      "));

    // No new groups: the time moves on, the list and count stay.
    server.replies("NEWGROUPS", {"231 new groups\r\n.\r\n"});
    record.NumberOfNewsgroups = 99;  // a count that drifted is put right
    ASSERT_NO_FATAL_FAILURE(run(true));
    EXPECT_EQ(list.size(), 4u);
    EXPECT_EQ(record.NumberOfNewsgroups, 4);
    EXPECT_EQ(saved.size(), 2u);
}

TEST_F(RetrievalTest, UpdateWithoutAListFileFetchesTheWholeList) {
    record.LastUpdated = 46000.5;
    record.NumberOfNewsgroups = 7;
    listReply("215 list\r\n" + listLines({"x.y"}) + ".\r\n");
    ASSERT_NO_FATAL_FAILURE(run(true));
    EXPECT_TRUE(server.commands.contains("LIST"));
    EXPECT_FALSE(std::any_of(server.commands.begin(), server.commands.end(),
                             [](const QByteArray& c) { return c.startsWith("NEWGROUPS"); }));
    EXPECT_EQ(namesOf(list), (Names{"x.y"}));
    EXPECT_EQ(record.NumberOfNewsgroups, 1);
}

TEST_F(RetrievalTest, ADroppedTransferLeavesListFileAndRecordAsTheyWere) {
    storeOldList({"old.one", "old.two"});
    const TServer before = record;
    const std::string oldFile = readFile(file());
    Names many;
    for (int i = 0; i < 5000; ++i)
        many.push_back("new.group" + std::to_string(i));
    listReply("215 list\r\n" + listLines(many));  // no closing "."
    engine().getNewsgroups();
    ASSERT_TRUE(waitFor([&] { return contains(observer.status, "Retrieving newsgroups..."); }));
    server.closeConnections();
    ASSERT_TRUE(waitFor([&] { return observer.ended == 1; }));
    EXPECT_EQ(namesOf(list), (Names{"old.one", "old.two"}));
    EXPECT_EQ(readFile(file()), oldFile);
    EXPECT_EQ(record.NumberOfNewsgroups, before.NumberOfNewsgroups);
    EXPECT_EQ(record.LastUpdated, before.LastUpdated);
    EXPECT_TRUE(saved.empty());
    EXPECT_EQ(observer.completed, 0);
    EXPECT_FALSE(prompts.shown().empty());  // the client's error is shown
    EXPECT_EQ(observer.buttons, (TRetrievalButtons{true, true, true}));
    EXPECT_FALSE(engine().running());

    // The dialog stays usable: the next fetch works.
    listReply("215 list\r\n" + listLines({"new.one"}) + ".\r\n");
    ASSERT_NO_FATAL_FAILURE(run());
    EXPECT_EQ(namesOf(list), (Names{"new.one"}));
}

TEST_F(RetrievalTest, AListFileThatCannotBeWrittenIsReportedAndChangesNothing) {
    record.NumberOfNewsgroups = 3;
    record.LastUpdated = 46000.5;
    list.append("kept");
    const TServer before = record;
    std::filesystem::create_directory(file());  // the file's name is taken by a folder
    listReply("215 list\r\n" + listLines({"a", "b"}) + ".\r\n");
    ASSERT_NO_FATAL_FAILURE(run());
    ASSERT_EQ(prompts.shown().size(), 1u);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown()[0].text.starts_with("Unable to write the newsgroup list file " +
                                                    file().string()))
        << prompts.shown()[0].text;
    EXPECT_EQ(namesOf(list), (Names{"kept"}));
    EXPECT_EQ(record.NumberOfNewsgroups, before.NumberOfNewsgroups);
    EXPECT_EQ(record.LastUpdated, before.LastUpdated);
    EXPECT_TRUE(saved.empty());
    EXPECT_EQ(observer.completed, 0);
    EXPECT_EQ(observer.buttons, (TRetrievalButtons{true, true, true}));
    EXPECT_TRUE(waitFor([&] { return nntp.State() == nsDisconnected; }));
}

TEST_F(RetrievalTest, ABannerWithoutPostingAsksBeforeGoingOn) {
    server.banner = "201 no posting here\r\n";
    listReply("215 list\r\n" + listLines({"a.b"}) + ".\r\n");
    const std::string question = "127.0.0.1 may not allow posting.  Do you want to continue?";

    prompts.answerNext(PromptAnswer::No);
    ASSERT_NO_FATAL_FAILURE(run());
    ASSERT_EQ(prompts.shown().size(), 1u);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Warning);
    EXPECT_EQ(prompts.shown()[0].buttons, PromptButtons::YesNo);
    EXPECT_EQ(prompts.shown()[0].text, question);
    EXPECT_FALSE(server.commands.contains("LIST"));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(observer.buttons, (TRetrievalButtons{true, false, true}));

    prompts.clear();
    prompts.answerNext(PromptAnswer::Yes);
    ASSERT_NO_FATAL_FAILURE(run());
    EXPECT_EQ(prompts.texts(), (std::vector<std::string>{question}));
    EXPECT_EQ(namesOf(list), (Names{"a.b"}));
}

TEST_F(RetrievalTest, AFailedConnectionGivesTheDialogBack) {
    quint16 closedPort;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        closedPort = probe.serverPort();
    }
    struct Case {
        const char* what;
        int port;
    };
    // A refused connection fails later, from the event loop; a port no connection can use
    // fails at once, inside the start.
    for (const Case& c :
         {Case{"a port nobody listens on", closedPort}, Case{"a port out of range", 70000}}) {
        record.Port = c.port;
        observer.busy.clear();
        prompts.clear();
        ASSERT_NO_FATAL_FAILURE(run()) << c.what;
        EXPECT_EQ(observer.busy, (std::vector<bool>{true, false})) << c.what;
        EXPECT_EQ(observer.buttons, (TRetrievalButtons{true, false, true})) << c.what;
        EXPECT_EQ(observer.status.back(), "") << c.what;
        EXPECT_FALSE(prompts.shown().empty()) << c.what;
        EXPECT_FALSE(std::filesystem::exists(file())) << c.what;
        EXPECT_TRUE(saved.empty()) << c.what;
        // "No connection" frees the program-wide job for the next user of a connection.
        EXPECT_EQ(job.Value, jobNothing) << c.what;
        EXPECT_FALSE(engine().running()) << c.what;
    }
}

TEST_F(RetrievalTest, ARefusedListShowsTheReplyAndTheConnectionCanBeUsedAgain) {
    listReply("502 not for you\r\n");
    ASSERT_NO_FATAL_FAILURE(run());
    EXPECT_TRUE(contains(prompts.texts(), "502 not for you"));
    EXPECT_FALSE(std::filesystem::exists(file()));
    EXPECT_EQ(observer.buttons, (TRetrievalButtons{true, false, true}));

    listReply("215 list\r\n" + listLines({"a.b"}) + ".\r\n");
    ASSERT_NO_FATAL_FAILURE(run());
    EXPECT_EQ(namesOf(list), (Names{"a.b"}));
}

// A million groups in an order the sort has to work on.
const QByteArray& millionGroupReply() {
    static const QByteArray reply = [] {
        QByteArray r = "215 list\r\n";
        r.reserve(48 * 1000000);
        char line[64];
        for (unsigned i = 0; i < 1000000; ++i) {
            const unsigned k = (i * 7919u) % 1000000u;
            const int n = std::snprintf(line, sizeof line, "%s.group%06u %010u %010u y\r\n",
                                        (k % 3) ? "alt.binaries" : "Comp.Lang", k, k, 1u);
            r.append(line, n);
        }
        r.append(".\r\n");
        return r;
    }();
    return reply;
}

TEST_F(RetrievalTest, AMillionGroupListArrivesWholeAndSorted) {
    listReply(millionGroupReply());
    ASSERT_NO_FATAL_FAILURE(run());
    ASSERT_EQ(list.size(), 1000000u);
    EXPECT_EQ(record.NumberOfNewsgroups, 1000000);
    EXPECT_EQ(list[0], "alt.binaries.group000001");
    EXPECT_EQ(list[list.size() - 1], "Comp.Lang.group999999");
    EXPECT_TRUE(std::is_sorted(
        list.names().begin(), list.names().end(), [](std::string_view a, std::string_view b) {
            return QString::fromUtf8(a.data(), qsizetype(a.size()))
                       .compare(QString::fromUtf8(b.data(), qsizetype(b.size())),
                                Qt::CaseInsensitive) < 0;
        }));
    EXPECT_EQ(
        std::filesystem::file_size(file()), 1000000u * 2 + [&] {
            std::uintmax_t bytes = 0;
            for (std::string_view n : list.names())
                bytes += n.size();
            return bytes;
        }());
    // The group count was shown every hundred groups.
    EXPECT_TRUE(contains(observer.counts, " 100 newsgroups      "));
    EXPECT_TRUE(contains(observer.counts, " 999900 newsgroups      "));
    EXPECT_TRUE(contains(observer.counts, " 1000000 newsgroups      "));
}

TEST_F(RetrievalTest, ClosingTheDialogMidwayTouchesNothingAfterwards) {
    storeOldList({"old.one"});
    const TServer before = record;
    const std::string oldFile = readFile(file());
    listReply(millionGroupReply());
    // Closed while connecting, while receiving, and while parsing.
    for (const char* moment :
         {"Connecting...", "Retrieving newsgroups...", "Parsing newsgroups..."}) {
        observer.status.clear();
        engine().getNewsgroups();
        ASSERT_TRUE(waitFor([&] { return contains(observer.status, moment); })) << moment;
        destroyEngine();
        EXPECT_EQ(job.Value, jobNothing) << moment;
        // Whatever the connection still does reaches no one.
        ASSERT_TRUE(waitFor([&] { return nntp.State() == nsDisconnected; })) << moment;
        EXPECT_EQ(namesOf(list), (Names{"old.one"})) << moment;
        EXPECT_EQ(readFile(file()), oldFile) << moment;
        EXPECT_EQ(record.LastUpdated, before.LastUpdated) << moment;
        EXPECT_TRUE(saved.empty()) << moment;
        EXPECT_EQ(observer.completed, 0) << moment;
    }
}

TEST_F(RetrievalTest, TheDialogMayCloseItselfWhenTheListIsIn) {
    listReply("215 list\r\n" + listLines({"a.b"}) + ".\r\n");
    // The server properties dialog with close-when-done saves and closes as the list is in.
    observer.onCompleted = [this] {
        saved.push_back(record);
        destroyEngine();
        nntp.Quit();
    };
    policy.saveRecord = nullptr;
    engine().getNewsgroups();
    ASSERT_TRUE(waitFor([&] { return observer.completed == 1; }));
    EXPECT_EQ(saved.size(), 1u);
    EXPECT_EQ(namesOf(list), (Names{"a.b"}));
    EXPECT_TRUE(waitFor([&] { return nntp.State() == nsDisconnected; }));
}

class RetrievalInnTest : public ::testing::Test, private WithApp {
protected:
    void SetUp() override {
        const auto found = innTestServerOrStop();
        if (!found)
            return;
        inn = *found;
        record.HostName = found->host.toStdString();
        record.Port = found->port;
        for (const QString& g : found->groups)
            groups.push_back(g.toStdString());
        policy.saveRecord = [this](const TServer& r) { saved.push_back(r); };
    }

    // Runs one retrieval over the given list and data folder to its end.
    void run(TNewsgroupList& into, const std::filesystem::path& folder, bool update,
             bool completes = true) {
        Observer observer;
        TNNTP nntp;
        TNewsgroupRetrieval engine(nntp, job, record, into, observer, prompts, policy, folder);
        update ? engine.updateNewsgroups() : engine.getNewsgroups();
        ASSERT_TRUE(waitFor([&] { return observer.ended == 1; }));
        ASSERT_TRUE(waitFor([&] { return nntp.State() == nsDisconnected; }));
        EXPECT_EQ(observer.completed, completes ? 1 : 0)
            << ::testing::PrintToString(prompts.texts());
    }

    std::string listText(const TNewsgroupList& list) const {
        std::string text;
        for (std::string_view n : list.names())
            text += std::string(n) + "\r\n";
        return text;
    }

    InnTestServer inn;
    TempDir data;
    TServer record;
    Names groups;
    TNNTPJob job;
    RecordingPrompts prompts;
    TRetrievalPolicy policy;
    std::vector<TServer> saved;
};

TEST_F(RetrievalInnTest, ListAndNewGroupsComeFromARealServer) {
    const std::filesystem::path file = newsgroupListPath(data.path(), record.HostName);
    TNewsgroupList list;
    ASSERT_NO_FATAL_FAILURE(run(list, data.path(), false));
    for (const std::string& g : groups)
        EXPECT_TRUE(contains(namesOf(list), g)) << g;
    EXPECT_EQ(readFile(file), listText(list));
    EXPECT_EQ(record.NumberOfNewsgroups, static_cast<int>(list.size()));
    ASSERT_EQ(saved.size(), 1u);

    // A group made after a known moment is what the server reports as new. NEWGROUPS counts in
    // whole seconds: the moment is taken in a second later than every group made so far.
    const qint64 fetched = QDateTime::currentSecsSinceEpoch();
    ASSERT_TRUE(waitFor([&] { return QDateTime::currentSecsSinceEpoch() > fetched; }, 3000));
    record.LastUpdated = toRecordDateTime(QDateTime::currentDateTime());
    const std::string fresh =
        "k32.newsgroups.t" + std::to_string(QDateTime::currentMSecsSinceEpoch());
    std::string why;
    if (!createInnGroup(fresh, &why))
        return innUnavailable(why);

    // What NEWGROUPS returns, seen through a list that holds nothing yet.
    TempDir other;
    writeFile(newsgroupListPath(other.path(), record.HostName), "");
    const TServer known = record;
    TNewsgroupList onlyNew;
    ASSERT_NO_FATAL_FAILURE(run(onlyNew, other.path(), true));
    // (Another run of this test on the same server may add groups of its own meanwhile.)
    EXPECT_TRUE(contains(namesOf(onlyNew), fresh));
    for (std::string_view g : onlyNew.names())
        EXPECT_FALSE(contains(namesOf(list), std::string(g))) << g << " is not new";

    // The stored list gains exactly that group.
    record = known;
    const std::size_t before = list.size();
    ASSERT_NO_FATAL_FAILURE(run(list, data.path(), true));
    EXPECT_GE(list.size(), before + 1);
    EXPECT_TRUE(contains(namesOf(list), fresh));
    Names unique = namesOf(list);
    std::sort(unique.begin(), unique.end());
    EXPECT_EQ(std::unique(unique.begin(), unique.end()), unique.end());
    EXPECT_EQ(readFile(file), listText(list));
    EXPECT_EQ(record.NumberOfNewsgroups, static_cast<int>(list.size()));
    EXPECT_EQ(saved.back().NumberOfNewsgroups, record.NumberOfNewsgroups);
    EXPECT_GT(record.LastUpdated, known.LastUpdated);
}

TEST_F(RetrievalInnTest, AServerThatWantsALoginGetsTheStoredOrTheTypedOne) {
    // This port serves only after AUTHINFO, and its greeting says "no posting": go on anyway.
    record.Port = inn.authPort;
    prompts.setDefaultAnswer(PromptAnswer::Yes);
    const std::string user = inn.user.toStdString(), password = inn.password.toStdString();
    struct Case {
        const char* what;
        std::string storedUser, storedPassword;
        std::optional<NntpAuthRequest> typed;  // the server properties dialog's fields
        bool completes;
    };
    const std::vector<Case> cases = {
        {"the stored login", user, password, std::nullopt, true},
        {"the typed login wins over the stored one", user, "wrong",
         NntpAuthRequest{inn.user, inn.password}, true},
        {"a wrong login", user, "wrong", std::nullopt, false},
    };
    for (const Case& c : cases) {
        TempDir folder;
        record.UserName = c.storedUser;
        record.Password = c.storedPassword;
        policy.credentials = nullptr;
        if (c.typed)
            policy.credentials = [typed = *c.typed] { return typed; };
        prompts.clear();
        TNewsgroupList list;
        ASSERT_NO_FATAL_FAILURE(run(list, folder.path(), false, c.completes)) << c.what;
        EXPECT_EQ(std::filesystem::exists(newsgroupListPath(folder.path(), record.HostName)),
                  c.completes)
            << c.what;
        if (c.completes) {
            for (const std::string& g : groups)
                EXPECT_TRUE(contains(namesOf(list), g)) << c.what << ": " << g;
        } else {
            EXPECT_TRUE(list.empty()) << c.what;
            EXPECT_GE(prompts.shown().size(), 2u) << c.what;  // the question, then the refusal
        }
    }
}

}  // namespace
