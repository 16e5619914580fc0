#pragma once

#include <QApplication>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

class QMimeData;

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// Helpers for tests that drive real widgets offscreen. The test binary's QApplication is
// created before the first test and destroyed after the last (a GoogleTest environment
// registered by this library), so every test can create widgets.

// The control called name under root, failing the test when it is missing.
template <class T>
T* findControl(QWidget* root, const QString& name) {
    T* control = root->findChild<T*>(name);
    EXPECT_NE(control, nullptr) << "no control named " << name.toStdString();
    return control;
}

// Shows a top-level widget at its size and waits until it can be painted and clicked.
void showAndWait(QWidget* widget);

void clickAt(QWidget* widget, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier);
void doubleClickAt(QWidget* widget, QPoint pos);
void pressAt(QWidget* widget, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier);
// A move with the left button held; pos may lie outside the widget, as with a captured
// mouse.
void dragTo(QWidget* widget, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier);
void releaseAt(QWidget* widget, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier);
// Press at from, move there in a few steps, release.
void drag(QWidget* widget, QPoint from, QPoint to, Qt::KeyboardModifiers mods = Qt::NoModifier);
void pressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier);
void typeText(QWidget* widget, const QString& text);

// Drags mime over the control and drops it; true when the drop was taken.
bool dropOn(QWidget* control, const QMimeData& mime);
// Drops local files, as a file manager does, where the control takes drops (the viewport of a
// list or editor); true when the drop was taken.
bool dropFiles(QWidget* control, const QStringList& paths);

// Saves what the widget shows as build/test-pictures/<name>.png and returns the path, so
// people can look at what a test saw.
QString savePicture(QWidget* widget, const QString& name);

// Acts on the next modal dialog of type T once it shows, from inside the exec() that shows it
// (act should close it, or the test waits on it). Keep the handler alive while the dialog is
// opened; when it goes, the test fails if no such dialog showed.
class ModalHandler {
public:
    template <class T>
    static ModalHandler on(std::function<void(T*)> act) {
        ModalHandler handler;
        handler.m_name = T::staticMetaObject.className();
        auto state = handler.m_state;
        QObject::connect(handler.m_poll.get(), &QTimer::timeout, [state, act = std::move(act)] {
            T* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible() || state->acted)
                return;
            state->acted = true;
            act(dialog);
        });
        handler.m_poll->start(5);
        return handler;
    }
    ModalHandler(ModalHandler&&) = default;
    ~ModalHandler() {
        if (!m_poll)
            return;
        m_poll->stop();
        EXPECT_TRUE(m_state->acted) << "no modal " << m_name << " showed";
    }
    bool acted() const { return m_state->acted; }

private:
    struct State {
        bool acted = false;
    };
    ModalHandler() : m_poll(std::make_unique<QTimer>()), m_state(std::make_shared<State>()) {}
    std::unique_ptr<QTimer> m_poll;
    std::shared_ptr<State> m_state;
    const char* m_name = "";
};
