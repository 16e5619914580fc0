#include "gui/button_pictures.h"

#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

namespace {

// Slate for the resting glyph, a clear blue under the pointer.
const QColor kNormal(0x37, 0x47, 0x4f);
const QColor kHighlighted(0x15, 0x65, 0xc0);

}  // namespace

QPixmap glyphPicture(const QString& glyph, int size, const QColor& colour, qreal pixelRatio) {
    QFile file(QStringLiteral(":/buttons/") + glyph + QStringLiteral(".svg"));
    QByteArray svg;
    if (file.open(QIODevice::ReadOnly))
        svg = file.readAll();
    svg.replace("currentColor", colour.name().toLatin1());
    QPixmap picture(QSize(size, size) * pixelRatio);
    picture.setDevicePixelRatio(pixelRatio);
    picture.fill(Qt::transparent);
    QSvgRenderer renderer(svg);
    if (renderer.isValid()) {
        QPainter painter(&picture);
        renderer.render(&painter, QRectF(0, 0, size, size));
    }
    return picture;
}

QList<QPixmap> buttonPictures(const QStringList& glyphs, int size) {
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QList<QPixmap> pictures;
    pictures.reserve(glyphs.size() * 2);
    for (const QString& glyph : glyphs) {
        pictures.append(glyphPicture(glyph, size, kNormal, ratio));
        pictures.append(glyphPicture(glyph, size, kHighlighted, ratio));
    }
    return pictures;
}
