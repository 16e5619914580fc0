#include "gui/button_pictures.h"

#include "support/gui_test.h"

#include <QImage>

#include <gtest/gtest.h>

// Every glyph the forms name must exist: a misspelt name would give an empty button.
TEST(ButtonPictures, EveryGlyphDrawsANormalAndADifferentHighlightedPicture) {
    const QStringList glyphs{
        QStringLiteral("ok"),      QStringLiteral("cancel"),     QStringLiteral("add"),
        QStringLiteral("delete"),  QStringLiteral("properties"), QStringLiteral("download"),
        QStringLiteral("search"),  QStringLiteral("right"),      QStringLiteral("right-all"),
        QStringLiteral("left"),    QStringLiteral("left-all"),   QStringLiteral("file"),
        QStringLiteral("folder"),  QStringLiteral("help"),       QStringLiteral("about"),
        QStringLiteral("new"),     QStringLiteral("open"),       QStringLiteral("save"),
        QStringLiteral("post"),    QStringLiteral("stop"),       QStringLiteral("preferences"),
        QStringLiteral("server"),  QStringLiteral("newsgroups"), QStringLiteral("attach"),
        QStringLiteral("message"), QStringLiteral("signature"),  QStringLiteral("log"),
        QStringLiteral("contents")};
    const QList<QPixmap> pictures = buttonPictures(glyphs, 16);
    ASSERT_EQ(pictures.size(), glyphs.size() * 2);
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        const QImage normal = pictures[2 * i].toImage();
        const QImage highlighted = pictures[2 * i + 1].toImage();
        bool drawn = false;
        for (int y = 0; y < normal.height() && !drawn; ++y)
            for (int x = 0; x < normal.width() && !drawn; ++x)
                drawn = qAlpha(normal.pixel(x, y)) > 0;
        EXPECT_TRUE(drawn) << glyphs[i].toStdString() << " draws nothing";
        EXPECT_NE(normal, highlighted) << glyphs[i].toStdString();
    }
}

TEST(ButtonPictures, AreDrawnAtTheScreensPixelRatio) {
    const QPixmap sharp = glyphPicture(QStringLiteral("ok"), 16, Qt::black, 2.0);
    EXPECT_EQ(sharp.size(), QSize(32, 32));
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(16, 16));
}
