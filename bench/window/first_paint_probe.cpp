// Linked into a program to time its start: when the program's main window has drawn its first
// frame, the probe prints the moment (CLOCK_MONOTONIC, nanoseconds) on standard output and ends
// the process. The caller notes the same clock just before it starts the program.

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QMainWindow>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!m_seen && event->type() == QEvent::Paint) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && qobject_cast<QMainWindow*>(widget->window())) {
                m_seen = true;
                // After this pass of painting has ended and reached the screen.
                QTimer::singleShot(0, [] {
                    timespec now{};
                    clock_gettime(CLOCK_MONOTONIC, &now);
                    std::printf("%lld\n",
                                static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
                    std::fflush(stdout);
                    std::_Exit(0);
                });
            }
        }
        return false;
    }

private:
    bool m_seen = false;
};

void installProbe() {
    QCoreApplication::instance()->installEventFilter(new FirstPaint);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)
