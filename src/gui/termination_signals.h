#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM and SIGHUP (a logout, a shutdown, a closed terminal) as a Qt signal delivered by the
// event loop, so the program can store its session before it ends. The C handlers only write
// the signal's number into a pipe; everything else runs on the GUI thread. One instance at a
// time; the handlers that were installed before come back when it is destroyed.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void readPipe();

    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
};
