#pragma once

#include <QCursor>
#include <QGuiApplication>

// The hourglass for as long as the object lives. Nested ones stack, so the normal cursor comes
// back when the outermost ends.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};
