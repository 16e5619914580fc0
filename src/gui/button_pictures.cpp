#include "gui/button_pictures.h"

#include "gui/program_pictures.h"

#include <QColor>
#include <QFile>

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
    return renderSvg(svg, QSize(size, size), pixelRatio);
}

QList<QPixmap> buttonPictures(const QStringList& glyphs, int size) {
    const qreal ratio = screenPixelRatio();
    QList<QPixmap> pictures;
    pictures.reserve(glyphs.size() * 2);
    for (const QString& glyph : glyphs) {
        pictures.append(glyphPicture(glyph, size, kNormal, ratio));
        pictures.append(glyphPicture(glyph, size, kHighlighted, ratio));
    }
    return pictures;
}
