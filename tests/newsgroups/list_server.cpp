#include "list_server.h"

#include <QTcpSocket>

ListServer::ListServer() {
    connect(&m_server, &QTcpServer::newConnection, this, &ListServer::onConnection);
    m_server.listen(QHostAddress::LocalHost, 0);
}

void ListServer::onConnection() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        socket->write(banner);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            while (socket->canReadLine()) {
                QByteArray line = socket->readLine();
                while (line.endsWith('\n') || line.endsWith('\r'))
                    line.chop(1);
                commands.append(line);
                const QByteArray verb = line.split(' ').value(0).toUpper();
                if (verb == "LIST" || verb == "NEWGROUPS") {
                    socket->write(verb == "LIST" ? listReply : newGroupsReply);
                    if (dropAfterReply) {
                        socket->disconnectFromHost();
                        return;
                    }
                } else if (verb == "MODE") {
                    socket->write("200 reader\r\n");
                } else if (verb == "QUIT") {
                    socket->write("205 bye\r\n");
                    socket->disconnectFromHost();
                    return;
                } else {
                    socket->write("500 what?\r\n");
                }
            }
        });
    }
}
