#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSslConfiguration>
#include <QTcpServer>

#include <optional>

class QTcpSocket;

// A news server on 127.0.0.1 that follows a script, for the faults a real server will not
// produce on demand. It greets with `banner`, then answers each command line from the replies
// given for its verb (first word, upper case). After it answers a POST with a 3xx reply it reads
// an article up to the terminating "." and answers from the replies of the verb ".".
// Replies are sent as given (include the CR LF); two special replies act instead of answering:
// kClose closes the connection, kSilent sends nothing.
class ScriptedNntpServer : public QObject {
    Q_OBJECT
public:
    static inline const QByteArray kClose = QByteArrayLiteral("<close>");
    static inline const QByteArray kSilent = QByteArrayLiteral("<silent>");

    explicit ScriptedNntpServer(QObject* parent = nullptr);
    ~ScriptedNntpServer() override;
    quint16 port() const;
    // Listens on a free port below `limit` instead, for a client whose port field goes no
    // higher than that (the system hands out ports above 32767).
    void listenBelow(quint16 limit);

    // From the next connection on, speak TLS from the first byte with this certificate and key
    // (see TestCertificates); the script is then followed over the secured connection.
    void useTls(const QSslConfiguration& server);

    QByteArray banner = QByteArrayLiteral("200 scripted server ready\r\n");
    // Each command of that verb takes the next reply; the last one is used again after that.
    // A verb without replies is answered "500 What?".
    void replies(const QByteArray& verb, const QList<QByteArray>& answers);
    // Faults while an article comes in: close the connection once this many bytes of it have
    // arrived (-1: never); answer the article (verb ".") right after the 340, before it ends.
    qint64 dropAfterArticleBytes = -1;
    bool answerBeforeArticleEnds = false;
    // Reads nothing of an article for this many milliseconds after its 340, so the client's
    // writes back up (0: reads at once).
    int stallArticleMs = 0;

    // What arrived: command lines without CR LF, and each whole article as sent (still
    // dot-stuffed, without the terminating ".").
    QList<QByteArray> commands;
    QList<QByteArray> articles;
    qint64 articleBytesSeen = 0;  // including an article that never ended
    int connections = 0;
    int disconnections = 0;

    // Closes every client connection now, as a server ending idle connections does.
    void closeConnections();

signals:
    void commandReceived(const QByteArray& line);
    void articleReceived();
    void clientGone();

private:
    struct Client {
        QByteArray buffer;
        bool inArticle = false;
        bool stalled = false;
        QByteArray article;
    };
    void onConnection();
    void onData(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QByteArray& verb);
    void takeArticle(QTcpSocket* socket, Client& client);

    // Hands over plain sockets, or TLS sockets whose handshake has begun.
    class Listener : public QTcpServer {
    public:
        std::optional<QSslConfiguration> tls;

    protected:
        void incomingConnection(qintptr handle) override;
    };

    Listener m_server;
    QMap<QByteArray, QList<QByteArray>> m_replies;
    QMap<QByteArray, int> m_used;
    QMap<QTcpSocket*, Client> m_clients;
};
