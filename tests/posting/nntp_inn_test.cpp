// The NNTP client against INN on loopback (scripts/test-service-inn.sh): what is posted is
// fetched back over a connection of its own and compared.
#include "posting/nntp.h"
#include "posting/nntp_test_client.h"

#include <gtest/gtest.h>

#include <QDateTime>

namespace {

using Headers = std::vector<std::pair<std::string, std::string>>;

class NntpInnTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureCoreApplication();
        auto found = innTestServerOrStop();
        if (!found)
            return;
        inn = *found;
    }

    Headers article(const std::string& messageId, const std::string& groups,
                    const std::string& subject) const {
        return {{"From", "Kavrin Tester <tester@example.com>"},
                {"Newsgroups", groups},
                {"Subject", subject},
                {"Message-ID", messageId},
                {"Date", nowDateHeader()}};
    }

    std::string fetchBody(const std::string& messageId, int port = 0) const {
        std::string error;
        const auto fetched = fetchArticle(inn.host, port ? port : inn.port, messageId, &error);
        EXPECT_TRUE(fetched.has_value()) << error;
        return fetched ? articleBody(*fetched) : std::string();
    }

    std::string group(int i) const { return inn.groups.at(i).toStdString(); }

    InnTestServer inn;
};

TEST_F(NntpInnTest, PostsATextArticleThatComesBackIntact) {
    TestClient client;
    ASSERT_TRUE(client.connectTo(inn.host, inn.port)) << client.errorTexts.toStdString();
    EXPECT_EQ(client.nntp.BannerCode(), 200);
    // Lines that would end the article early or lose their first dot without dot-stuffing,
    // and a body that does not end in a line break.
    const std::string body =
        "First line\r\n.\r\n.x\r\n..two dots\r\n\r\nafter an empty line\r\n. \r\nlast";
    const std::string id = uniqueMessageId("text");
    ASSERT_TRUE(client.post(article(id, group(0), "A text article"), body, 5))
        << client.errorTexts.toStdString();
    EXPECT_EQ(client.nntp.ReplyCode(), 240);
    EXPECT_EQ(fetchBody(id), body + "\r\n");

    // The same connection posts again; a repeated Message-ID is refused with INN's reply.
    const std::string second = uniqueMessageId("text2");
    EXPECT_TRUE(client.post(article(second, group(0), "Second"), "again\r\n"));
    EXPECT_FALSE(client.post(article(second, group(0), "Second"), "again\r\n"));
    EXPECT_EQ(client.nntp.ReplyCode(), 441);
    EXPECT_EQ(client.docInStates.back(), docAborted);
    client.nntp.Quit();
    EXPECT_TRUE(client.waitDisconnected());
}

TEST_F(NntpInnTest, CrosspostsToTwoGroups) {
    TestClient client;
    ASSERT_TRUE(client.connectTo(inn.host, inn.port));
    const std::string id = uniqueMessageId("cross");
    ASSERT_TRUE(client.post(article(id, group(0) + "," + group(1), "Crosspost"), "both\r\n"));
    std::string error;
    const auto fetched = fetchArticle(inn.host, inn.port, id, &error);
    ASSERT_TRUE(fetched) << error;
    const std::string xref = articleHeader(*fetched, "Xref");
    EXPECT_NE(xref.find(group(0) + ":"), std::string::npos) << xref;
    EXPECT_NE(xref.find(group(1) + ":"), std::string::npos) << xref;
}

TEST_F(NntpInnTest, PostsThroughTheLoginPortOnlyWithTheRightPassword) {
    struct Case {
        QString password;
        bool accepted;
    };
    for (const Case& c :
         {Case{inn.password, true}, Case{QStringLiteral("wrong-password"), false}}) {
        SCOPED_TRACE(c.password.toStdString());
        TestClient client;
        client.user = inn.user;
        client.password = c.password;
        const bool ready = client.connectTo(inn.host, inn.authPort);
        EXPECT_EQ(ready, c.accepted) << client.errorTexts.toStdString();
        EXPECT_EQ(client.has("auth ok"), c.accepted);
        EXPECT_EQ(client.has("auth failed"), !c.accepted);
        EXPECT_FALSE(client.errorTexts.contains(c.password));
        if (!ready) {
            EXPECT_EQ(client.errors, std::vector<int>{nerAuthentication});
            EXPECT_EQ(client.nntp.ReplyCode(), 481);
            continue;
        }
        const std::string id = uniqueMessageId("auth");
        ASSERT_TRUE(client.post(article(id, group(0), "Logged in"), "with a login\r\n"))
            << client.errorTexts.toStdString();
        EXPECT_EQ(fetchBody(id), "with a login\r\n");
    }

    // Without a user name the server's 480 to POST is an error; nothing is posted.
    TestClient anonymous;
    ASSERT_TRUE(anonymous.connectTo(inn.host, inn.authPort));
    const std::string id = uniqueMessageId("anon");
    EXPECT_FALSE(anonymous.post(article(id, group(0), "Anonymous"), "no login\r\n"));
    EXPECT_FALSE(fetchArticle(inn.host, inn.port, id).has_value());
}

TEST_F(NntpInnTest, ListsTheGroupsAndTheNewOnes) {
    TestClient client;
    ASSERT_TRUE(client.connectTo(inn.host, inn.port));
    client.nntp.ListGroups();
    ASSERT_TRUE(QTest::qWaitFor([&client] { return !client.nntp.Busy(); }, 10000));
    ASSERT_EQ(client.events.back(), "out 5");
    for (const QString& g : inn.groups)
        EXPECT_TRUE(client.received.contains("\n" + g.toUtf8() + " ") ||
                    client.received.startsWith(g.toUtf8() + " "))
            << g.toStdString();
    EXPECT_FALSE(client.received.contains("\r\n.\r\n"));

    // A group made after a known moment is new since then. NEWGROUPS counts in whole seconds:
    // the group is made in a later second than the moment asked about.
    const QDateTime since = QDateTime::currentDateTime();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QDateTime::currentSecsSinceEpoch() > since.toSecsSinceEpoch(); }, 3000));
    const std::string fresh = "k32.nntp.t" + std::to_string(QDateTime::currentMSecsSinceEpoch());
    std::string why;
    if (!createInnGroup(fresh, &why))
        return innUnavailable(why);
    client.received.clear();
    client.nntp.ListNewGroups(since);
    ASSERT_TRUE(QTest::qWaitFor([&client] { return !client.nntp.Busy(); }, 10000));
    const QByteArray freshLine = QByteArray::fromStdString(fresh) + ' ';
    EXPECT_TRUE(client.received.startsWith(freshLine) || client.received.contains("\n" + freshLine))
        << client.received.toStdString();
    client.received.clear();
    client.nntp.ListNewGroups(QDateTime::currentDateTime().addDays(1));
    ASSERT_TRUE(QTest::qWaitFor([&client] { return !client.nntp.Busy(); }, 10000));
    EXPECT_TRUE(client.received.isEmpty());
    EXPECT_TRUE(client.errors.empty()) << client.errorTexts.toStdString();
}

TEST_F(NntpInnTest, PostsOverTlsAndRefusesCertificatesItCannotTrust) {
    struct Case {
        const char* name;
        NntpSecurity security;
        int port;
        bool trustTestCa;
        bool accepted;
        const char* host = "localhost";  // the certificates name localhost and 127.0.0.1
    };
    const Case cases[] = {
        {"TLS on connect", NntpSecurity::TlsOnConnect, inn.tlsPort, true, true},
        {"STARTTLS", NntpSecurity::StartTls, inn.port, true, true},
        {"TLS on connect by address", NntpSecurity::TlsOnConnect, inn.tlsPort, true, true,
         "127.0.0.1"},
        {"certificate for another host", NntpSecurity::TlsOnConnect, inn.wrongHostPort, true,
         false},
        {"authority not trusted", NntpSecurity::TlsOnConnect, inn.tlsPort, false, false},
        {"STARTTLS, authority not trusted", NntpSecurity::StartTls, inn.port, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestClient client;
        client.nntp.Security = c.security;
        if (c.trustTestCa)
            client.nntp.ExtraCaFile = inn.caFile;
        const bool ready = client.connectTo(QString::fromLatin1(c.host), c.port);
        EXPECT_EQ(ready, c.accepted) << client.errorTexts.toStdString();
        if (!c.accepted) {
            EXPECT_EQ(client.errors, std::vector<int>{nerTls});
            EXPECT_FALSE(client.errorTexts.isEmpty());
            EXPECT_FALSE(client.has("protocol 1")) << "no plain-text fallback";
            EXPECT_EQ(client.nntp.State(), nsDisconnected);
            continue;
        }
        const std::string id = uniqueMessageId("tls");
        ASSERT_TRUE(client.post(article(id, group(0), c.name), "over TLS\r\n.\r\n"))
            << client.errorTexts.toStdString();
        EXPECT_EQ(fetchBody(id), "over TLS\r\n.\r\n");
        client.nntp.Quit();
        EXPECT_TRUE(client.waitDisconnected());
    }
}

}  // namespace
