#include "gui/splash.h"

#include "gui/program_pictures.h"

#include <QCoreApplication>

TfrmSplash::TfrmSplash()
    : QSplashScreen(splashPicture(screenPixelRatio()), Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmSplash"));
    setCursor(Qt::BusyCursor);
    setAccessibleName(QStringLiteral("Kavrin/32"));
}

void TfrmSplash::showAndDraw() {
    show();
    raise();
    // One pass paints it on X11 and Wayland; the start that follows blocks the loop for a while.
    repaint();
    QCoreApplication::processEvents();
}
