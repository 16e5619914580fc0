// The NNTP client against a scripted loopback server: the protocol's paths and the faults a
// real server does not produce on demand.
#include "posting/nntp.h"
#include "posting/nntp_test_client.h"
#include "support/scripted_nntp_server.h"
#include "support/test_certificates.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QHostAddress>
#include <QPointer>
#include <QSslError>
#include <QTcpServer>
#include <QTimeZone>

namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");

std::vector<std::pair<std::string, std::string>> simpleHeaders() {
    return {{"From", "Tester <tester@example.com>"},
            {"Newsgroups", "k32.test"},
            {"Subject", "scripted"}};
}

class NntpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureCoreApplication();
        server = std::make_unique<ScriptedNntpServer>();
        server->replies("MODE", {"200 reader mode\r\n"});
        server->replies("POST", {"340 send it\r\n"});
        server->replies(".", {"240 article posted\r\n"});
        server->replies("QUIT", {"205 bye\r\n"});
    }
    void TearDown() override {
        // Nothing the test did may leave the client stuck.
        EXPECT_FALSE(client.nntp.Busy());
    }

    bool connect() { return client.connectTo(kLoopback, server->port()); }

    std::unique_ptr<ScriptedNntpServer> server;
    TestClient client;
};

TEST_F(NntpClientTest, ConnectsPostsAndQuitsWithTheEventsInOrder) {
    ASSERT_TRUE(connect());
    EXPECT_EQ(client.nntp.BannerCode(), 200);
    // The connect states come in order (resolving and resolved may be skipped for an address),
    // then the banner, the login question and ready.
    std::vector<std::string> expected = {"state 1", "state 4", "banner 200 scripted server ready",
                                         "auth?", "protocol 1"};
    std::vector<std::string> seen;
    for (const auto& e : client.events)
        if (e != "state 2" && e != "state 3")
            seen.push_back(e);
    EXPECT_EQ(seen, expected);

    ASSERT_TRUE(client.post(simpleHeaders(), "Hello\r\nWorld\r\n"));
    EXPECT_EQ(client.docInStates, (std::vector<int>{docBegin, docHeaders, docData, docComplete}));
    const std::string header =
        "From: Tester <tester@example.com>\r\nNewsgroups: k32.test\r\nSubject: scripted\r\n\r\n";
    ASSERT_EQ(server->articles.size(), 1);
    EXPECT_EQ(server->articles[0].toStdString(), header + "Hello\r\nWorld\r\n");
    EXPECT_EQ(client.nntp.DocInput().BytesTotal, static_cast<std::int64_t>(header.size() + 14));
    EXPECT_EQ(client.nntp.DocInput().BytesTransferred, client.nntp.DocInput().BytesTotal);
    EXPECT_EQ(client.nntp.ReplyString(), QStringLiteral("240 article posted"));
    EXPECT_EQ(client.nntp.ReplyCode(), 240);

    client.events.clear();
    client.nntp.Quit();
    ASSERT_TRUE(client.waitDisconnected());
    EXPECT_EQ(client.events, (std::vector<std::string>{"state 5", "state 6", "protocol 0"}));
    EXPECT_EQ(server->commands, (QList<QByteArray>{"MODE READER", "POST", "QUIT"}));
    EXPECT_TRUE(client.errors.empty());
    // Quit on a closed connection does nothing.
    client.nntp.Quit();
    EXPECT_EQ(client.nntp.State(), nsDisconnected);
}

TEST_F(NntpClientTest, DotStuffsEveryLineStartWhereverThePiecesOfTheBodyEnd) {
    ASSERT_TRUE(connect());
    const std::string body = ".\r\n.x\r\n..y\r\nmid.dle.\r\n.\r\nlast line without end";
    // Pieces of 1 byte put every line start on a piece boundary; large pieces keep them inside.
    for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{1} << 16}) {
        SCOPED_TRACE(piece);
        ASSERT_TRUE(client.post(simpleHeaders(), body, piece));
        const QByteArray wire = server->articles.last();
        const QByteArray sentBody = wire.mid(wire.indexOf("\r\n\r\n") + 4);
        EXPECT_EQ(sentBody.toStdString(),
                  "..\r\n..x\r\n...y\r\nmid.dle.\r\n..\r\nlast line without end\r\n");
    }
    // Line starts at every place of the wide search's 16- and 32-byte blocks, beside dots
    // that stand inside lines.
    std::string many, stuffed;
    for (int n = 1; n < 70; ++n) {
        many += std::string(std::size_t(n), 'a') + ".\r\n.b\r\n";
        stuffed += std::string(std::size_t(n), 'a') + ".\r\n..b\r\n";
    }
    ASSERT_TRUE(client.post(simpleHeaders(), many, std::size_t{1} << 16));
    const QByteArray wire = server->articles.last();
    EXPECT_TRUE(wire.mid(wire.indexOf("\r\n\r\n") + 4).toStdString() == stuffed);
    // A header block alone (empty body) still ends the article.
    ASSERT_TRUE(client.post(simpleHeaders(), ""));
    EXPECT_TRUE(server->articles.last().endsWith("Subject: scripted\r\n\r\n"));
}

// A server that reads nothing for a while: the system's buffers fill and the client waits for
// room mid-piece, while the rest of the piece stays where the source keeps it. Copied or held
// by the source, the article arrives whole, in order and dot-stuffed.
TEST_F(NntpClientTest, ABodyTheServerTakesSlowlyArrivesWhole) {
    server->stallArticleMs = 300;
    ASSERT_TRUE(connect());
    // 8 MiB: more than the connection holds while the server reads nothing.
    std::string body, stuffed;
    for (std::size_t n = 0; body.size() < (8u << 20); ++n) {
        const std::string line = (n % 7 == 0 ? "." : "") + std::string(n % 150, char('a' + n % 26));
        body += line + "\r\n";
        stuffed += (line.starts_with('.') ? "." : "") + line + "\r\n";
    }
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held);
        client.progress.clear();
        ASSERT_TRUE(client.post(simpleHeaders(), body, std::size_t{1} << 20, held));
        const QByteArray wire = server->articles.last();
        EXPECT_TRUE(wire.mid(wire.indexOf("\r\n\r\n") + 4).toStdString() == stuffed);
        EXPECT_TRUE(std::is_sorted(client.progress.begin(), client.progress.end()));
        EXPECT_EQ(client.progress.back(), client.nntp.DocInput().BytesTotal);
    }
}

TEST_F(NntpClientTest, ALargeBodyReportsProgressAboutOncePerMegabyte) {
    ASSERT_TRUE(connect());
    std::string body;
    while (body.size() < 3500000)
        body += "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/ABCDEFGHIJKL\r\n";
    ASSERT_TRUE(client.post(simpleHeaders(), body));
    const std::int64_t total = client.nntp.DocInput().BytesTotal;
    EXPECT_GT(total, static_cast<std::int64_t>(body.size()));
    ASSERT_GE(client.progress.size(), 3u);
    EXPECT_LE(client.progress.size(), 5u);
    EXPECT_TRUE(std::is_sorted(client.progress.begin(), client.progress.end()));
    EXPECT_EQ(client.progress.back(), total);
    EXPECT_EQ(server->articles.last().size(), total);
}

TEST_F(NntpClientTest, RefusedArticlesAreErrorsAndTheConnectionStaysUsable) {
    server->replies("POST", {"440 posting not permitted\r\n", "340 send it\r\n"});
    server->replies(".", {"441 437 Article rejected\r\n", "240 ok\r\n"});
    ASSERT_TRUE(connect());

    EXPECT_FALSE(client.post(simpleHeaders(), "one\r\n"));
    EXPECT_EQ(client.docInStates, (std::vector<int>{docBegin, docAborted}));
    EXPECT_EQ(client.errors, std::vector<int>{440});
    EXPECT_EQ(client.nntp.ReplyString(), QStringLiteral("440 posting not permitted"));

    EXPECT_FALSE(client.post(simpleHeaders(), "two\r\n"));
    EXPECT_EQ(client.docInStates.back(), docAborted);
    EXPECT_EQ(client.errors.back(), 441);
    EXPECT_EQ(client.nntp.ReplyString(), QStringLiteral("441 437 Article rejected"));

    EXPECT_EQ(client.nntp.ProtocolState(), prcReady);
    EXPECT_TRUE(client.post(simpleHeaders(), "three\r\n"));
}

TEST_F(NntpClientTest, AnswersA480WithALoginAndRepeatsTheCommand) {
    server->replies("POST", {"480 authentication required\r\n", "340 send it\r\n"});
    server->replies("AUTHINFO", {"381 password please\r\n", "281 welcome\r\n"});
    ASSERT_TRUE(connect());  // no user name yet: no login up front
    client.user = QStringLiteral("alice");
    client.password = QStringLiteral("s3cret-word");
    ASSERT_TRUE(client.post(simpleHeaders(), "body\r\n"));
    EXPECT_EQ(server->commands, (QList<QByteArray>{"MODE READER", "POST", "AUTHINFO USER alice",
                                                   "AUTHINFO PASS s3cret-word", "POST"}));
    EXPECT_TRUE(client.has("auth ok"));
    EXPECT_EQ(client.docInStates.front(), docBegin);
    EXPECT_EQ(client.docInStates.back(), docComplete);
}

TEST_F(NntpClientTest, LoginsThatFailNeverShowThePassword) {
    struct Case {
        const char* name;
        QList<QByteArray> authReplies;
        bool upFront;  // user name known before connecting
    };
    const Case cases[] = {
        {"refused password at connect", {"381 password\r\n", "481 rejected\r\n"}, true},
        {"refused user at connect", {"481 no such user\r\n"}, true},
        {"refused password after 480", {"381 password\r\n", "481 rejected\r\n"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedNntpServer s;
        s.replies("MODE", {"200 reader\r\n"});
        s.replies("POST", {"480 login first\r\n"});
        s.replies("AUTHINFO", c.authReplies);
        TestClient t;
        t.user = QStringLiteral("bob");
        t.password = QStringLiteral("pw-never-shown");
        if (c.upFront) {
            EXPECT_FALSE(t.connectTo(kLoopback, s.port()));
            EXPECT_EQ(t.nntp.State(), nsDisconnected);
            EXPECT_EQ(t.nntp.ProtocolState(), prcNoConnection);
        } else {
            t.user.clear();
            ASSERT_TRUE(t.connectTo(kLoopback, s.port()));
            t.user = QStringLiteral("bob");
            EXPECT_FALSE(t.post(simpleHeaders(), "body\r\n"));
            EXPECT_EQ(t.docInStates.back(), docAborted);
            EXPECT_EQ(t.nntp.ProtocolState(), prcReady);
        }
        EXPECT_TRUE(t.has("auth failed"));
        EXPECT_FALSE(t.has("auth ok"));
        EXPECT_EQ(t.errors.back(), nerAuthentication);
        EXPECT_FALSE(t.errorTexts.contains(QStringLiteral("pw-never-shown")));
        EXPECT_FALSE(t.nntp.ReplyString().contains(QStringLiteral("pw-never-shown")));
    }
}

TEST_F(NntpClientTest, A480WithoutAUserNameFailsTheArticle) {
    server->replies("POST", {"480 login first\r\n"});
    ASSERT_TRUE(connect());
    EXPECT_FALSE(client.post(simpleHeaders(), "body\r\n"));
    EXPECT_EQ(client.errors, std::vector<int>{nerAuthentication});
    EXPECT_EQ(client.docInStates.back(), docAborted);
    EXPECT_EQ(server->commands.count("POST"), 1);
}

TEST_F(NntpClientTest, GreetingsOtherThan200AreReportedByTheirCode) {
    struct Case {
        QByteArray banner;
        bool ready;
        int error;  // 0: none
    };
    const Case cases[] = {
        // The code decides, not the text: "2003" in a 201 banner is no posting permission.
        {"201 news.example 2003 edition, no posting\r\n", true, 0},
        {"400 service temporarily unavailable\r\n", false, 400},
        {"502 access denied\r\n", false, 502},
        {"HELLO there\r\n", false, nerProtocol},
        {"200 " + QByteArray(20000, 'x') + "\r\n", false, nerProtocol},
        {"200 " + QByteArray(20000, 'x'), false, nerProtocol},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.banner.left(40).toStdString());
        ScriptedNntpServer s;
        s.banner = c.banner;
        s.replies("MODE", {"201 reader\r\n"});
        TestClient t;
        EXPECT_EQ(t.connectTo(kLoopback, s.port()), c.ready);
        if (c.ready) {
            EXPECT_EQ(t.nntp.BannerCode(), 201);
            EXPECT_TRUE(t.has("banner " + c.banner.trimmed().toStdString()));
            EXPECT_TRUE(t.errors.empty());
        } else {
            EXPECT_EQ(t.errors, std::vector<int>{c.error});
            EXPECT_EQ(t.nntp.State(), nsDisconnected);
            EXPECT_TRUE(t.has("protocol 0"));
            EXPECT_LE(t.nntp.ReplyString().size(), 512);
        }
    }
}

TEST_F(NntpClientTest, FaultsDuringAnArticleAbortItAndDropTheConnection) {
    // 4 MiB of body: far more than the client queues at once, so faults meet it mid-body.
    std::string big;
    while (big.size() < (4u << 20))
        big += "0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvw\r\n";
    struct Case {
        const char* name;
        void (*script)(ScriptedNntpServer&);
        int error;
    };
    const Case cases[] = {
        {"connection dropped mid-body",
         [](ScriptedNntpServer& s) { s.dropAfterArticleBytes = 300000; }, nerConnectionLost},
        {"240 before the article ended",
         [](ScriptedNntpServer& s) { s.answerBeforeArticleEnds = true; }, nerProtocol},
        {"reply that never comes",
         [](ScriptedNntpServer& s) { s.replies(".", {ScriptedNntpServer::kSilent}); }, nerTimeout},
        {"connection closed instead of a reply",
         [](ScriptedNntpServer& s) { s.replies(".", {ScriptedNntpServer::kClose}); },
         nerConnectionLost},
        {"no 340 ever",
         [](ScriptedNntpServer& s) { s.replies("POST", {ScriptedNntpServer::kSilent}); },
         nerTimeout},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedNntpServer s;
        s.replies("MODE", {"200 reader\r\n"});
        s.replies("POST", {"340 go\r\n"});
        s.replies(".", {"240 posted\r\n"});
        c.script(s);
        TestClient t;
        t.nntp.ReplyTimeoutMs = 20000;
        ASSERT_TRUE(t.connectTo(kLoopback, s.port()));
        // Short only where the time limit is what is tested: a loaded machine must not turn
        // the other faults into time-outs.
        if (c.error == nerTimeout)
            t.nntp.ReplyTimeoutMs = 400;
        EXPECT_FALSE(t.post(simpleHeaders(), big));
        EXPECT_EQ(t.errors, std::vector<int>{c.error});
        ASSERT_FALSE(t.docInStates.empty());
        EXPECT_EQ(t.docInStates.back(), docAborted);
        EXPECT_EQ(std::count(t.docInStates.begin(), t.docInStates.end(), docComplete), 0);
        EXPECT_EQ(t.nntp.State(), nsDisconnected);
        EXPECT_EQ(t.nntp.ProtocolState(), prcNoConnection);
        // The error event comes first, then the aborted document, then the disconnection.
        const auto at = [&t](const std::string& e) {
            return std::find(t.events.begin(), t.events.end(), e) - t.events.begin();
        };
        EXPECT_LT(at("error " + std::to_string(c.error)), at("doc 4"));
        EXPECT_LT(at("doc 4"), at("state 6"));
        // No failure of the connection itself leaves a stale "340" as the reply to show.
        if (c.error != nerProtocol) {
            EXPECT_TRUE(t.nntp.ReplyString().isEmpty());
        }
    }
}

TEST_F(NntpClientTest, CancelAndUnreadableBodiesNeverEndTheArticle) {
    std::string big(8u << 20, 'a');
    for (std::size_t i = 70; i < big.size(); i += 72)
        big[i] = '\r', big[i + 1] = '\n';
    struct Case {
        const char* name;
        int failAfter;  // pieces before the body cannot be read; -1: cancel instead
    };
    for (const Case c : {Case{"cancel", -1}, Case{"body read fails", 3}}) {
        SCOPED_TRACE(c.name);
        ScriptedNntpServer s;
        s.replies("MODE", {"200 reader\r\n"});
        s.replies("POST", {"340 go\r\n"});
        s.replies(".", {"240 posted\r\n"});
        TestClient t;
        ASSERT_TRUE(t.connectTo(kLoopback, s.port()));
        t.nntp.DocInput().Headers = simpleHeaders();
        QObject::connect(&t.nntp, &TNNTP::OnDocInput, [&t, c] {
            if (c.failAfter < 0 && t.nntp.DocInput().State == docData)
                t.nntp.Cancel();
        });
        t.nntp.SendDocument(std::make_unique<StringBody>(big, 1 << 16, c.failAfter));
        ASSERT_TRUE(QTest::qWaitFor([&t] { return !t.nntp.Busy(); }, 20000));
        ASSERT_TRUE(QTest::qWaitFor([&s] { return s.disconnections > 0; }, 5000));
        EXPECT_TRUE(s.articles.isEmpty());
        EXPECT_EQ(t.docInStates.back(), docAborted);
        EXPECT_EQ(t.nntp.State(), nsDisconnected);
        if (c.failAfter < 0) {
            EXPECT_TRUE(t.errors.empty());
        } else {
            EXPECT_EQ(t.errors, std::vector<int>{nerBadArticle});
        }
    }
}

TEST_F(NntpClientTest, HeadersThatWouldBreakTheArticleAreRefusedBeforePosting) {
    ASSERT_TRUE(connect());
    const std::vector<std::vector<std::pair<std::string, std::string>>> bad = {
        {{"Subject", "two\r\nNewsgroups: injected"}},
        {{"Subject", "bare\nline feed"}},
        {{"Bad Name", "x"}},
        {{"", "x"}},
    };
    for (const auto& headers : bad) {
        EXPECT_FALSE(client.post(headers, "body\r\n"));
        EXPECT_EQ(client.docInStates.back(), docAborted);
        EXPECT_EQ(client.errors.back(), nerBadArticle);
    }
    EXPECT_EQ(server->commands.count("POST"), 0);
    EXPECT_EQ(client.nntp.ProtocolState(), prcReady);
}

TEST_F(NntpClientTest, OperationsWithoutAConnectionReportAnError) {
    client.nntp.DocInput().Headers = simpleHeaders();
    client.nntp.SendDocument(std::make_unique<StringBody>("x\r\n"));
    EXPECT_EQ(client.errors, std::vector<int>{nerNotReady});
    EXPECT_EQ(client.docInStates, std::vector<int>{docAborted});
    client.nntp.ListGroups();
    EXPECT_EQ(client.errors.size(), 2u);
    client.nntp.Cancel();
    client.nntp.Quit();
    EXPECT_EQ(client.nntp.State(), nsNone);
}

TEST_F(NntpClientTest, ListRepliesHandOverOnlyTheirDataLines) {
    server->replies("LIST", {"215 list follows\r\nalt.one 10 1 y\r\n..dotted.group 5 1 y\r\n"
                             "comp.two 3 1 n\r\n.\r\n"});
    server->replies("NEWGROUPS", {"231 new groups\r\nalt.new 1 1 y\r\n.\r\n", "231 none\r\n.\r\n"});
    ASSERT_TRUE(connect());
    client.nntp.ListGroups();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !client.nntp.Busy(); }, 5000));
    EXPECT_EQ(client.received.toStdString(),
              "alt.one 10 1 y\r\n.dotted.group 5 1 y\r\ncomp.two 3 1 n\r\n");
    EXPECT_TRUE(client.has("out 1"));
    EXPECT_EQ(client.events.back(), "out 5");
    EXPECT_GT(client.nntp.DocOutput().BytesTransferred, 0);

    // NEWGROUPS names the moment in UTC, whatever zone the caller's date is in.
    client.received.clear();
    const QDateTime since(QDate(2026, 12, 1), QTime(1, 30, 5), QTimeZone(3600));
    client.nntp.ListNewGroups(since);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !client.nntp.Busy(); }, 5000));
    EXPECT_EQ(server->commands.last(), "NEWGROUPS 20261201 003005 GMT");
    EXPECT_EQ(client.received.toStdString(), "alt.new 1 1 y\r\n");

    // An empty list completes with no data.
    client.received.clear();
    client.events.clear();
    client.nntp.ListNewGroups(since);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !client.nntp.Busy(); }, 5000));
    EXPECT_TRUE(client.received.isEmpty());
    EXPECT_EQ(client.events, (std::vector<std::string>{"out 1", "out 5"}));
}

TEST_F(NntpClientTest, AListCutShortIsAbortedAndNeverComplete) {
    server->replies("LIST", {"215 list follows\r\nalt.one 10 1 y\r\n"});
    ASSERT_TRUE(connect());
    client.nntp.ReplyTimeoutMs = 300;
    client.nntp.ListGroups();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !client.nntp.Busy(); }, 5000));
    EXPECT_TRUE(client.has("out 4"));
    EXPECT_FALSE(client.has("out 5"));
    EXPECT_EQ(client.errors, std::vector<int>{nerTimeout});
}

TEST_F(NntpClientTest, ANoAtTheBannerQuestionEndsTheConnectionWithoutAnError) {
    QObject::connect(&client.nntp, &TNNTP::OnBanner, [this] { client.nntp.Cancel(); });
    EXPECT_FALSE(connect());
    EXPECT_EQ(client.nntp.State(), nsDisconnected);
    EXPECT_TRUE(client.errors.empty());
    EXPECT_TRUE(client.has("protocol 0"));
    EXPECT_FALSE(client.has("auth?"));
}

TEST_F(NntpClientTest, ConnectFailuresEndDisconnected) {
    // A port nothing listens on: take one from a server that is then closed.
    quint16 closedPort = 0;
    {
        ScriptedNntpServer gone;
        closedPort = gone.port();
    }
    EXPECT_FALSE(client.connectTo(kLoopback, closedPort));
    EXPECT_EQ(client.errors, std::vector<int>{nerConnectFailed});
    EXPECT_EQ(client.events.back(), "protocol 0");
    EXPECT_FALSE(client.has("state 5"));

    // A server that accepts but never greets.
    TestClient silent;
    server->banner.clear();
    silent.nntp.ReplyTimeoutMs = 300;
    EXPECT_FALSE(silent.connectTo(kLoopback, server->port()));
    EXPECT_EQ(silent.errors, std::vector<int>{nerTimeout});

    // A TLS handshake the server never answers runs into the connect time limit, and the
    // connection is not used in plain text meanwhile.
    QTcpServer mute;
    ASSERT_TRUE(mute.listen(QHostAddress::LocalHost));
    TestClient tls;
    tls.nntp.Security = NntpSecurity::TlsOnConnect;
    tls.nntp.ConnectTimeoutMs = 300;
    EXPECT_FALSE(tls.connectTo(kLoopback, mute.serverPort()));
    EXPECT_EQ(tls.errors, std::vector<int>{nerTimeout});
    EXPECT_FALSE(tls.has("state 4"));
}

// Handlers may start the next step from inside the error event. The failed step still ends
// first: its document is aborted and its connection reports its end, and a fresh connection is
// not ready for commands before its own greeting.
TEST_F(NntpClientTest, WhatAnErrorHandlerStartsBeginsAfterTheFailedStepHasEnded) {
    server->replies(".", {"441 437 rejected\r\n", "240 ok\r\n"});
    server->replies("LIST", {ScriptedNntpServer::kClose, "215 list follows\r\n.\r\n"});
    ASSERT_TRUE(connect());
    int protocolAfterConnect = -1;
    QObject::connect(&client.nntp, &TNNTP::OnError, [&](int number) {
        if (number == 441 || number == nerBadArticle) {
            client.nntp.DocInput().Headers = simpleHeaders();
            client.nntp.SendDocument(std::make_unique<StringBody>("again\r\n"));
        } else if (protocolAfterConnect < 0) {
            client.nntp.Connect(kLoopback, server->port());
            protocolAfterConnect = client.nntp.ProtocolState();
        }
    });

    EXPECT_TRUE(client.post(simpleHeaders(), "first\r\n"));
    EXPECT_EQ(client.docInStates, (std::vector<int>{docBegin, docHeaders, docData, docAborted,
                                                    docBegin, docHeaders, docData, docComplete}));
    EXPECT_TRUE(client.post({{"Bad:Name", "x"}}, "refused\r\n"));
    EXPECT_EQ(client.docInStates,
              (std::vector<int>{docAborted, docBegin, docHeaders, docData, docComplete}));

    client.events.clear();
    client.nntp.ListGroups();
    ASSERT_TRUE(QTest::qWaitFor([&] { return protocolAfterConnect >= 0; }, 10000));
    EXPECT_EQ(protocolAfterConnect, prcNoConnection);
    ASSERT_TRUE(QTest::qWaitFor([this] { return client.nntp.ProtocolState() == prcReady; }, 10000));
    EXPECT_EQ(std::vector<std::string>(client.events.begin(), client.events.begin() + 5),
              (std::vector<std::string>{"error 3", "state 5", "state 6", "protocol 0", "state 1"}));
    EXPECT_EQ(server->connections, 2);
    client.nntp.ListGroups();
    ASSERT_TRUE(QTest::qWaitFor([this] { return client.has("out 5"); }, 10000));
}

// The window that owns the client closes from an error raised while the client is still
// ending an article that a new Connect cut off.
TEST_F(NntpClientTest, AHandlerMayDestroyTheClientWhileAStepIsEnding) {
    server->replies("POST", {ScriptedNntpServer::kSilent});
    auto* nntp = new TNNTP;
    const QPointer<TNNTP> alive(nntp);
    QObject::connect(nntp, &TNNTP::OnDocInput, [nntp] {
        if (nntp->DocInput().State == docAborted) {
            nntp->DocInput().Headers = simpleHeaders();
            nntp->SendDocument(std::make_unique<StringBody>("again\r\n"));
        }
    });
    QObject::connect(nntp, &TNNTP::OnError, [nntp] { delete nntp; });
    nntp->Connect(kLoopback, server->port());
    ASSERT_TRUE(QTest::qWaitFor([&] { return nntp->ProtocolState() == prcReady; }, 10000));
    nntp->DocInput().Headers = simpleHeaders();
    nntp->SendDocument(std::make_unique<StringBody>("first\r\n"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return server->commands.contains("POST"); }, 10000));

    nntp->Connect(kLoopback, server->port());
    EXPECT_TRUE(alive.isNull());
}

TEST_F(NntpClientTest, AServerClosingAnIdleConnectionIsNoError) {
    ASSERT_TRUE(connect());
    client.events.clear();
    server->closeConnections();
    ASSERT_TRUE(client.waitDisconnected());
    EXPECT_EQ(client.events, (std::vector<std::string>{"state 5", "state 6", "protocol 0"}));
    EXPECT_TRUE(client.errors.empty());
    // The next article fails through the error event.
    EXPECT_FALSE(client.post(simpleHeaders(), "late\r\n"));
    EXPECT_EQ(client.errors, std::vector<int>{nerNotReady});
}

TEST_F(NntpClientTest, ServersWithoutTlsAreRefusedNotUsedInPlainText) {
    // STARTTLS refused: nothing more is said in plain text.
    server->replies("STARTTLS", {"502 not here\r\n"});
    TestClient starttls;
    starttls.nntp.Security = NntpSecurity::StartTls;
    EXPECT_FALSE(starttls.connectTo(kLoopback, server->port()));
    EXPECT_EQ(starttls.errors, std::vector<int>{nerTls});
    EXPECT_EQ(server->commands, QList<QByteArray>{"STARTTLS"});

    // TLS on connect to a plain-text server: the handshake fails.
    TestClient onConnect;
    onConnect.nntp.Security = NntpSecurity::TlsOnConnect;
    EXPECT_FALSE(onConnect.connectTo(kLoopback, server->port()));
    EXPECT_EQ(onConnect.errors, std::vector<int>{nerTls});
    EXPECT_FALSE(onConnect.has("protocol 1"));
}

// Checked here as well as against INN, so that a run without the news server still catches a
// client that takes any certificate.
TEST_F(NntpClientTest, RefusesACertificateItCannotTrustAndSaysWhy) {
    TestCertificates certificates;
    struct Case {
        const char* name;
        const char* certifiedName;
        bool trustAuthority;
        QSslError::SslError refusal;  // NoError: the connection is used
    } cases[] = {
        {"certificate for this address", "IP:127.0.0.1", true, QSslError::NoError},
        {"certificate for another host", "DNS:other.invalid", true, QSslError::HostNameMismatch},
        {"authority not trusted", "IP:127.0.0.1", false,
         QSslError::UnableToGetLocalIssuerCertificate},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedNntpServer tlsServer;
        tlsServer.replies("MODE", {"200 reader mode\r\n"});
        tlsServer.useTls(certificates.serverFor(QString::fromLatin1(c.certifiedName)));
        TestClient t;
        t.nntp.Security = NntpSecurity::TlsOnConnect;
        if (c.trustAuthority)
            t.nntp.ExtraCaFile = certificates.caFile();
        const bool ready = t.connectTo(kLoopback, tlsServer.port());
        if (c.refusal == QSslError::NoError) {
            EXPECT_TRUE(ready) << t.errorTexts.toStdString();
            EXPECT_EQ(t.nntp.BannerCode(), 200);
            EXPECT_EQ(tlsServer.commands, QList<QByteArray>{"MODE READER"});
            continue;
        }
        EXPECT_FALSE(ready);
        EXPECT_EQ(t.errors, std::vector<int>{nerTls});
        EXPECT_TRUE(t.errorTexts.contains(QSslError(c.refusal).errorString()))
            << t.errorTexts.toStdString();
        EXPECT_FALSE(t.has("protocol 1")) << "no plain-text fallback";
        EXPECT_TRUE(tlsServer.commands.isEmpty());
        EXPECT_EQ(t.nntp.State(), nsDisconnected);
    }
}

TEST_F(NntpClientTest, QuitEndsTheConnectionEvenWithoutAGoodbye) {
    server->replies("QUIT", {ScriptedNntpServer::kSilent});
    ASSERT_TRUE(connect());
    client.nntp.ReplyTimeoutMs = 300;
    client.nntp.Quit();
    EXPECT_TRUE(client.nntp.Busy());
    ASSERT_TRUE(client.waitDisconnected());
    EXPECT_TRUE(client.errors.empty());
    EXPECT_EQ(client.events.back(), "protocol 0");
}

TEST_F(NntpClientTest, AConnectRightAfterQuitStillSaysGoodbye) {
    ASSERT_TRUE(connect());
    client.nntp.Quit();
    ASSERT_TRUE(connect());
    ASSERT_TRUE(QTest::qWaitFor([this] { return server->commands.contains("QUIT"); }, 10000));
    EXPECT_EQ(server->connections, 2);
    EXPECT_TRUE(client.errors.empty());
}

}  // namespace
