#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>

// A news server on loopback that answers what a list retrieval sends, with replies a test
// scripts byte for byte: the ones a real server will not produce (a lone-CR reply, blank
// lines, a reply cut off half-way).
class ListServer : public QObject {
    Q_OBJECT
public:
    ListServer();
    quint16 port() const { return m_server.serverPort(); }

    QByteArray banner = "200 list server ready\r\n";
    // The whole answer to LIST and to NEWGROUPS, status line included.
    QByteArray listReply = "215 list follows\r\n.\r\n";
    QByteArray newGroupsReply = "231 new groups follow\r\n.\r\n";
    // Close the connection right after the LIST or NEWGROUPS answer was written.
    bool dropAfterReply = false;

    // The command lines received, without CR LF.
    QList<QByteArray> commands;

private:
    void onConnection();

    QTcpServer m_server;
};
