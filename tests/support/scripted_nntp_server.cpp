#include "support/scripted_nntp_server.h"

#include <QHostAddress>
#include <QRandomGenerator>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

ScriptedNntpServer::ScriptedNntpServer(QObject* parent) : QObject(parent) {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedNntpServer::onConnection);
}

ScriptedNntpServer::~ScriptedNntpServer() {
    // The sockets die with the listening server; none may call back into this half-gone object.
    for (QTcpSocket* socket : m_server.findChildren<QTcpSocket*>())
        socket->disconnect(this);
}

quint16 ScriptedNntpServer::port() const {
    return m_server.serverPort();
}

void ScriptedNntpServer::useTls(const QSslConfiguration& server) {
    m_server.tls = server;
}

void ScriptedNntpServer::Listener::incomingConnection(qintptr handle) {
    if (!tls) {
        QTcpServer::incomingConnection(handle);
        return;
    }
    // Parented to the server like the plain sockets, so they go with it.
    auto* socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    socket->setSslConfiguration(*tls);
    // What is written before the handshake ends (the banner) waits for it.
    socket->startServerEncryption();
    addPendingConnection(socket);
}

void ScriptedNntpServer::listenBelow(quint16 limit) {
    m_server.close();
    // From a random start, so test programs running side by side seldom try the same ports.
    const quint32 low = 10000;
    const quint32 span = limit > low ? limit - low : 1;
    quint32 next = QRandomGenerator::global()->bounded(span);
    for (quint32 tries = 0; tries < span; ++tries, next = (next + 1) % span) {
        if (m_server.listen(QHostAddress::LocalHost, static_cast<quint16>(low + next)))
            return;
    }
}

void ScriptedNntpServer::replies(const QByteArray& verb, const QList<QByteArray>& answers) {
    m_replies[verb] = answers;
    m_used[verb] = 0;
}

void ScriptedNntpServer::onConnection() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        ++connections;
        m_clients.insert(socket, Client{});

        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onData(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_clients.remove(socket);
            ++disconnections;
            socket->deleteLater();
            emit clientGone();
        });
        if (!banner.isEmpty())
            socket->write(banner);
    }
}

void ScriptedNntpServer::answer(QTcpSocket* socket, const QByteArray& verb) {
    const auto found = m_replies.constFind(verb);
    QByteArray text = QByteArrayLiteral("500 What?\r\n");
    if (found != m_replies.constEnd() && !found->isEmpty()) {
        int& used = m_used[verb];
        text = found->at(std::min<qsizetype>(used, found->size() - 1));
        ++used;
    }
    if (text == kSilent)
        return;
    if (text == kClose) {
        socket->disconnectFromHost();
        return;
    }
    socket->write(text);
    if (verb == "POST" && text.startsWith('3')) {
        m_clients[socket].inArticle = true;
        if (stallArticleMs > 0) {
            // What the server does not read stays with the system, as for a slow server.
            socket->setReadBufferSize(64 * 1024);
            m_clients[socket].stalled = true;
            QTimer::singleShot(stallArticleMs, this, [this, socket] {
                const auto it = m_clients.find(socket);
                if (it == m_clients.end())
                    return;
                it->stalled = false;
                socket->setReadBufferSize(0);
                onData(socket);
            });
        }
        if (answerBeforeArticleEnds)
            answer(socket, ".");
    }
}

void ScriptedNntpServer::takeArticle(QTcpSocket* socket, Client& client) {
    // The article ends with a line holding only ".": either the very first line, or CR LF "."
    // CR LF after the data.
    QByteArray& data = client.article;
    const qsizetype before = data.size();
    data += client.buffer;
    client.buffer.clear();
    articleBytesSeen += data.size() - before;
    if (dropAfterArticleBytes >= 0 && articleBytesSeen >= dropAfterArticleBytes) {
        socket->abort();
        return;
    }
    qsizetype end = -1;
    if (data.startsWith(".\r\n")) {
        end = 0;
    } else {
        const qsizetype from = std::max<qsizetype>(0, before - 4);
        const qsizetype at = data.indexOf("\r\n.\r\n", from);
        if (at >= 0)
            end = at + 2;
    }
    if (end < 0)
        return;
    const qsizetype next = end + 3;
    client.buffer = data.mid(next);
    articles.append(data.left(end));
    articleBytesSeen -= client.buffer.size();
    data.clear();
    client.inArticle = false;
    emit articleReceived();
    if (!answerBeforeArticleEnds)
        answer(socket, ".");
}

void ScriptedNntpServer::onData(QTcpSocket* socket) {
    auto it = m_clients.find(socket);
    if (it == m_clients.end() || it->stalled)
        return;
    it->buffer += socket->readAll();
    while (m_clients.contains(socket)) {
        Client& client = m_clients[socket];
        if (client.stalled)
            return;
        if (client.inArticle) {
            if (client.buffer.isEmpty())
                return;
            takeArticle(socket, client);
            if (!m_clients.contains(socket) || m_clients[socket].inArticle)
                return;
            continue;
        }
        const qsizetype nl = client.buffer.indexOf('\n');
        if (nl < 0)
            return;
        QByteArray line = client.buffer.left(nl);
        client.buffer.remove(0, nl + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        commands.append(line);
        emit commandReceived(line);
        const qsizetype space = line.indexOf(' ');
        answer(socket, (space < 0 ? line : line.left(space)).toUpper());
        if (socket->state() != QAbstractSocket::ConnectedState)
            return;
    }
}

void ScriptedNntpServer::closeConnections() {
    const auto sockets = m_clients.keys();
    for (QTcpSocket* socket : sockets)
        socket->disconnectFromHost();
}
