#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>

// Where the loopback INN server of scripts/test-service-inn.sh listens, read from the env file
// that script writes (in $K32_INN_DIR, else /tmp/k32inn). Empty when the server is not running.
struct InnTestServer {
    QString host;
    int port = 0;           // innd: posting without a login, STARTTLS offered
    int authPort = 0;       // nnrpd: only after AUTHINFO
    int tlsPort = 0;        // nnrpd: TLS on connect, certificate for localhost / 127.0.0.1
    int wrongHostPort = 0;  // nnrpd: TLS on connect, certificate for another host name
    QString caFile;         // the authority that signed both certificates
    QString user;
    QString password;
    QStringList groups;  // at least three groups that exist
};
std::optional<InnTestServer> innTestServer();

// Whether this run must have the INN server: scripts/run-tests.sh sets K32_REQUIRE_INN=1 once it
// has started the server, so a full test run never passes with the tests that need it left out.
bool innRequired();
// Ends a test that cannot have what it needs from the INN server: skipped when a developer runs
// it by hand without the server, failed when innRequired(). The caller returns right after.
void innUnavailable(const std::string& why);
// The INN server for a test, or nothing after innUnavailable() (the caller then returns).
std::optional<InnTestServer> innTestServerOrStop();

// Makes a newsgroup on the INN server, as its administrator would; false with the reason in
// why when that cannot be done.
bool createInnGroup(const std::string& name, std::string* why);

// Fetches one article by its Message-ID over a plain NNTP connection of its own (no TNNTP, so a
// fault of the client cannot hide itself), logging in first when a user is given. Returns the
// article as stored (headers, empty line, body; CR LF line ends; dot-stuffing removed), or
// nothing when the server does not have it; error tells why.
std::optional<std::string> fetchArticle(const QString& host, int port, const std::string& messageId,
                                        std::string* error = nullptr, const QString& user = {},
                                        const QString& password = {});

// The body of an article as fetchArticle returns it: everything after the first empty line.
std::string articleBody(const std::string& article);
// The value of a header of that article (first occurrence, unfolded), or empty.
std::string articleHeader(const std::string& article, const std::string& name);

// A Message-ID no other test run uses: <tag.time.random@k32.test>.
std::string uniqueMessageId(const std::string& tag);
// A Date header value for now, which INN accepts (it refuses dates far from its clock).
std::string nowDateHeader();

// Creates the QCoreApplication the sockets need, once per test program.
void ensureCoreApplication();
