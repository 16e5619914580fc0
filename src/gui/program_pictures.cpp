#include "gui/program_pictures.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>

namespace {

QByteArray resourceBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Draws the icon's SVG for every size asked, so the task bar's 16 pixels and a launcher's 256
// are both sharp, at whatever pixel ratio the painter's device has. Every window asks for the
// same few sizes as it is shown: each is drawn once and kept.
class SvgIconEngine : public QIconEngine {
public:
    explicit SvgIconEngine(QByteArray svg) : m_svg(std::move(svg)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        QSvgRenderer renderer(m_svg);
        renderer.render(painter, rect);
    }
    // QIcon asks for the size in device pixels and sets the pixel ratio itself.
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
        const QString key =
            QString::number(size.width()) + QLatin1Char('x') + QString::number(size.height());
        auto kept = m_drawn.constFind(key);
        if (kept != m_drawn.constEnd())
            return *kept;
        QPixmap drawn = renderSvg(m_svg, size, 1.0);
        m_drawn.insert(key, drawn);
        return drawn;
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new SvgIconEngine(m_svg); }
    QString key() const override { return QStringLiteral("kavrin32-svg"); }
    bool isNull() override { return m_svg.isEmpty(); }

private:
    QByteArray m_svg;
    QHash<QString, QPixmap> m_drawn;
};

}  // namespace

QPixmap renderSvg(const QByteArray& svg, QSize size, qreal pixelRatio) {
    QPixmap picture(size * pixelRatio);
    picture.setDevicePixelRatio(pixelRatio);
    picture.fill(Qt::transparent);
    QSvgRenderer renderer(svg);
    if (renderer.isValid()) {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    return picture;
}

QIcon programIcon() {
    return QIcon(new SvgIconEngine(resourceBytes(QStringLiteral(":/kavrin32.svg"))));
}

QPixmap splashPicture(qreal pixelRatio) {
    return renderSvg(resourceBytes(QStringLiteral(":/splash.svg")), kSplashPictureSize, pixelRatio);
}

QPixmap aboutPicture(qreal pixelRatio) {
    const QByteArray svg = resourceBytes(QStringLiteral(":/about.svg"));
    const QSizeF drawn = QSvgRenderer(svg).defaultSize();
    const int width =
        drawn.height() > 0 ? qRound(drawn.width() * kAboutPictureHeight / drawn.height()) : 0;
    return renderSvg(svg, QSize(width, kAboutPictureHeight), pixelRatio);
}

qreal screenPixelRatio() {
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}
