#pragma once

#include <QColor>
#include <QList>
#include <QPixmap>
#include <QString>
#include <QStringList>

// The names of the button glyphs in resources/buttons/ (":/buttons/<name>.svg"): ok, cancel,
// add, delete, properties, download, search, right, right-all, left, left-all, file, folder,
// help, about, new, open, save, post, stop, preferences, server, newsgroups, attach, message,
// signature, log, contents.

// A form's button image list: for each glyph, in order, its normal picture (index 2k) and its
// highlighted one (2k + 1), so a button whose Tag is 2k shows glyph k. Drawn from the SVG at
// the screen's device pixel ratio, so they stay crisp on high-density screens.
QList<QPixmap> buttonPictures(const QStringList& glyphs, int size = 16);

// One glyph drawn in the given colour, size pixels square at the pixel ratio given.
QPixmap glyphPicture(const QString& glyph, int size, const QColor& colour, qreal pixelRatio);
