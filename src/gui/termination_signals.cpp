#include "gui/termination_signals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

volatile std::sig_atomic_t g_writeEnd = -1;
struct sigaction g_previousTerm;
struct sigaction g_previousHup;

extern "C" void onTermination(int signalNumber) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (g_writeEnd >= 0) [[maybe_unused]]
        const ssize_t written = ::write(g_writeEnd, &byte, 1);
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_writeEnd = m_pipe[1];
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
    struct sigaction action = {};
    action.sa_handler = onTermination;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &g_previousTerm);
    sigaction(SIGHUP, &action, &g_previousHup);
}

TerminationSignals::~TerminationSignals() {
    if (m_pipe[0] < 0)
        return;
    sigaction(SIGTERM, &g_previousTerm, nullptr);
    sigaction(SIGHUP, &g_previousHup, nullptr);
    g_writeEnd = -1;
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void TerminationSignals::readPipe() {
    unsigned char byte = 0;
    while (::read(m_pipe[0], &byte, 1) == 1)
        emit terminationRequested(byte);
}
