#pragma once

#include <QByteArray>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

// The program's own pictures, drawn from the SVG files of resources/ (":/kavrin32.svg",
// ":/splash.svg", ":/about.svg") at a device pixel ratio, so they stay crisp on high-density
// screens.

// The splash picture's size and the About picture's height, in device-independent pixels.
inline constexpr QSize kSplashPictureSize(316, 238);
inline constexpr int kAboutPictureHeight = 240;

// SVG text drawn size device-independent pixels large at the pixel ratio given; transparent
// where the drawing leaves it so, and wholly transparent when the text is no SVG.
QPixmap renderSvg(const QByteArray& svg, QSize size, qreal pixelRatio);

// The program's icon at every size a window manager or task bar asks for.
QIcon programIcon();

// The picture of the splash window.
QPixmap splashPicture(qreal pixelRatio);

// The About box's picture, kAboutPictureHeight high and as wide as its proportions make it.
QPixmap aboutPicture(qreal pixelRatio);

// The highest device pixel ratio of the screens, 1 without a screen.
qreal screenPixelRatio();
