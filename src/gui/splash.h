#pragma once

#include <QSplashScreen>

// The window shown while the program starts: the splash picture, no border, above other
// windows, centred on the screen, with the application-start cursor (arrow and hourglass)
// over it. Its opener closes and destroys it; a click hides it early.
class TfrmSplash : public QSplashScreen {
    Q_OBJECT

public:
    TfrmSplash();

    // Shows the window and lets it draw before the start goes on with other work.
    void showAndDraw();
};
