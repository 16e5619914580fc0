#include "gui/program_pictures.h"
#include "gui/splash.h"

#include "support/gui_test.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Opaque pixels in the middle of the picture: a picture whose resource is missing or whose SVG
// does not parse comes out wholly transparent.
bool drawnInTheMiddle(const QPixmap& picture) {
    const QImage image = picture.toImage();
    const QPoint middle(image.width() / 2, image.height() / 2);
    return !image.isNull() && qAlpha(image.pixel(middle)) == 255;
}

}  // namespace

TEST(ProgramPictures, AreDrawnAtTheirSizeForEveryPixelRatio) {
    struct Case {
        const char* name;
        std::function<QPixmap(qreal)> draw;
        QSize size;  // device-independent
    };
    const Case cases[] = {
        {"splash", splashPicture, QSize(316, 238)},
        {"about", aboutPicture, QSize(200, 240)},
        {"icon 16", [](qreal r) { return programIcon().pixmap(QSize(16, 16), r); }, QSize(16, 16)},
        {"icon 256", [](qreal r) { return programIcon().pixmap(QSize(256, 256), r); },
         QSize(256, 256)},
    };
    for (const Case& c : cases) {
        for (const qreal ratio : {1.0, 2.0}) {
            SCOPED_TRACE(testing::Message() << c.name << " at " << ratio);
            const QPixmap picture = c.draw(ratio);
            EXPECT_EQ(picture.deviceIndependentSize(), QSizeF(c.size));
            EXPECT_EQ(picture.size(), c.size * ratio);
            EXPECT_TRUE(drawnInTheMiddle(picture));
        }
    }
}

TEST(Splash, IsABorderlessPictureAboveTheOtherWindowsInTheScreensMiddle) {
    TfrmSplash splash;
    splash.showAndDraw();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&splash));
    EXPECT_TRUE(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(splash.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(splash.size(), QSize(316, 238));
    EXPECT_EQ(splash.geometry().center(), splash.screen()->geometry().center());
    EXPECT_EQ(splash.cursor().shape(), Qt::BusyCursor);
    EXPECT_TRUE(drawnInTheMiddle(splash.pixmap()));
    savePicture(&splash, QStringLiteral("splash"));
}
