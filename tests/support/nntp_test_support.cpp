#include "support/nntp_test_support.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>

namespace {

constexpr int kWaitMs = 10000;

// A blocking line reader over a socket: test code only, so waiting is fine here.
class LineReader {
public:
    explicit LineReader(QTcpSocket& socket) : m_socket(socket) {}

    bool line(QByteArray& out) {
        while (true) {
            const qsizetype nl = m_buffer.indexOf('\n');
            if (nl >= 0) {
                out = m_buffer.left(nl);
                if (out.endsWith('\r'))
                    out.chop(1);
                m_buffer.remove(0, nl + 1);
                return true;
            }
            if (!m_socket.waitForReadyRead(kWaitMs))
                return false;
            m_buffer += m_socket.readAll();
        }
    }

private:
    QTcpSocket& m_socket;
    QByteArray m_buffer;
};

bool command(QTcpSocket& socket, LineReader& reader, const QByteArray& line, QByteArray& reply) {
    socket.write(line + "\r\n");
    return socket.waitForBytesWritten(kWaitMs) && reader.line(reply);
}

// Where scripts/test-service-inn.sh keeps the server's state.
QString innDir() {
    const QByteArray dir = qgetenv("K32_INN_DIR");
    return QString::fromLocal8Bit(dir.isEmpty() ? QByteArray("/tmp/k32inn") : dir);
}

}  // namespace

std::optional<InnTestServer> innTestServer() {
    QFile file(innDir() + QStringLiteral("/env"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    InnTestServer s;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = line.left(eq);
        const QString value = line.mid(eq + 1);
        if (key == QLatin1String("K32_INN_HOST"))
            s.host = value;
        if (key == QLatin1String("K32_INN_PORT"))
            s.port = value.toInt();
        if (key == QLatin1String("K32_INN_AUTH_PORT"))
            s.authPort = value.toInt();
        if (key == QLatin1String("K32_INN_TLS_PORT"))
            s.tlsPort = value.toInt();
        if (key == QLatin1String("K32_INN_WRONG_HOST_PORT"))
            s.wrongHostPort = value.toInt();
        if (key == QLatin1String("K32_INN_CA"))
            s.caFile = value;
        if (key == QLatin1String("K32_INN_USER"))
            s.user = value;
        if (key == QLatin1String("K32_INN_PASSWORD"))
            s.password = value;
        if (key == QLatin1String("K32_INN_GROUPS"))
            s.groups = value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    if (s.host.isEmpty() || s.port == 0 || s.groups.size() < 3)
        return std::nullopt;
    return s;
}

bool innRequired() {
    return qgetenv("K32_REQUIRE_INN") == "1";
}

void innUnavailable(const std::string& why) {
    if (innRequired())
        FAIL() << why << " (K32_REQUIRE_INN=1: this run needs the INN server)";
    GTEST_SKIP() << why;
}

std::optional<InnTestServer> innTestServerOrStop() {
    auto found = innTestServer();
    if (!found)
        innUnavailable(
            "the loopback INN server is not running (scripts/test-service-inn.sh start)");
    return found;
}

bool createInnGroup(const std::string& name, std::string* why) {
    QStringList args = {QStringLiteral("--reuid=news"),
                        QStringLiteral("--regid=news"),
                        QStringLiteral("--init-groups"),
                        QStringLiteral("--"),
                        QStringLiteral("env"),
                        QStringLiteral("INNCONF=") + innDir() + QStringLiteral("/etc/inn.conf"),
                        QStringLiteral("/usr/lib/news/bin/ctlinnd"),
                        QStringLiteral("-s"),
                        QStringLiteral("newgroup"),
                        QString::fromStdString(name),
                        QStringLiteral("y"),
                        QStringLiteral("k32-tests")};
    QString program = QStringLiteral("setpriv");
    if (geteuid() != 0) {
        args.prepend(program);
        args.prepend(QStringLiteral("-n"));
        program = QStringLiteral("sudo");
    }
    QProcess ctl;
    ctl.start(program, args);
    if (!ctl.waitForFinished(30000) || ctl.exitStatus() != QProcess::NormalExit ||
        ctl.exitCode() != 0) {
        *why = "cannot make a group on the INN server: " +
               QString::fromLocal8Bit(ctl.readAllStandardError()).toStdString();
        return false;
    }
    return true;
}

std::optional<std::string> fetchArticle(const QString& host, int port, const std::string& messageId,
                                        std::string* error, const QString& user,
                                        const QString& password) {
    auto fail = [error](const std::string& why) -> std::optional<std::string> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QTcpSocket socket;
    socket.connectToHost(host, static_cast<quint16>(port));
    if (!socket.waitForConnected(kWaitMs))
        return fail("cannot connect");
    LineReader reader(socket);
    QByteArray reply;
    if (!reader.line(reply) || !reply.startsWith('2'))
        return fail("banner: " + reply.toStdString());
    if (!user.isEmpty()) {
        if (!command(socket, reader, "AUTHINFO USER " + user.toUtf8(), reply))
            return fail("no reply to AUTHINFO USER");
        if (reply.startsWith("381") &&
            !command(socket, reader, "AUTHINFO PASS " + password.toUtf8(), reply))
            return fail("no reply to AUTHINFO PASS");
        if (!reply.startsWith("281"))
            return fail("login refused: " + reply.toStdString());
    }
    if (!command(socket, reader, "ARTICLE " + QByteArray::fromStdString(messageId), reply))
        return fail("no reply to ARTICLE");
    if (!reply.startsWith("220"))
        return fail("ARTICLE: " + reply.toStdString());
    std::string article;
    QByteArray line;
    while (true) {
        if (!reader.line(line))
            return fail("article ended early");
        if (line == ".")
            break;
        if (line.startsWith('.'))
            line.remove(0, 1);
        article.append(line.constData(), static_cast<std::size_t>(line.size()));
        article += "\r\n";
    }
    command(socket, reader, "QUIT", reply);
    return article;
}

std::string articleBody(const std::string& article) {
    const auto split = article.find("\r\n\r\n");
    return split == std::string::npos ? std::string() : article.substr(split + 4);
}

std::string articleHeader(const std::string& article, const std::string& name) {
    const std::string head = article.substr(0, article.find("\r\n\r\n") + 2);
    std::size_t pos = 0;
    while (pos < head.size()) {
        const std::size_t end = head.find("\r\n", pos);
        const std::string line = head.substr(pos, end - pos);
        const auto colon = line.find(':');
        if (colon != std::string::npos &&
            QByteArray::fromStdString(line.substr(0, colon)).toLower() ==
                QByteArray::fromStdString(name).toLower()) {
            std::string value = line.substr(colon + 1);
            // Unfold continuation lines.
            std::size_t next = end + 2;
            while (next < head.size() && (head[next] == ' ' || head[next] == '\t')) {
                const std::size_t e = head.find("\r\n", next);
                value += head.substr(next, e - next);
                next = e + 2;
            }
            const auto first = value.find_first_not_of(" \t");
            return first == std::string::npos ? std::string() : value.substr(first);
        }
        pos = end + 2;
    }
    return {};
}

std::string uniqueMessageId(const std::string& tag) {
    return "<" + tag + "." + std::to_string(QDateTime::currentMSecsSinceEpoch()) + "." +
           std::to_string(QRandomGenerator::global()->generate64()) + "@k32.test>";
}

std::string nowDateHeader() {
    return QLocale::c()
               .toString(QDateTime::currentDateTimeUtc(),
                         QStringLiteral("ddd, dd MMM yyyy HH:mm:ss"))
               .toStdString() +
           " +0000";
}

void ensureCoreApplication() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "kavrin32-tests";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}
