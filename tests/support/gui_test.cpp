#include "support/gui_test.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {

class GuiApplication : public ::testing::Environment {
public:
    void SetUp() override {
        // Tests never need a display; a run from a desktop shell stays off the screen too.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (QApplication::instance() == nullptr)
            m_app = std::make_unique<QApplication>(m_argc, m_argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "kavrin32-tests";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const guiApplication =
    ::testing::AddGlobalTestEnvironment(new GuiApplication);

void sendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)), button, buttons, mods);
    QApplication::sendEvent(widget, &event);
}

}  // namespace

void showAndWait(QWidget* widget) {
    widget->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget));
}

void clickAt(QWidget* widget, QPoint pos, Qt::KeyboardModifiers mods) {
    QTest::mouseClick(widget, Qt::LeftButton, mods, pos);
}

void doubleClickAt(QWidget* widget, QPoint pos) {
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
}

void pressAt(QWidget* widget, QPoint pos, Qt::KeyboardModifiers mods) {
    QTest::mousePress(widget, Qt::LeftButton, mods, pos);
}

void dragTo(QWidget* widget, QPoint pos, Qt::KeyboardModifiers mods) {
    sendMouse(widget, QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton, mods);
}

void releaseAt(QWidget* widget, QPoint pos, Qt::KeyboardModifiers mods) {
    QTest::mouseRelease(widget, Qt::LeftButton, mods, pos);
}

void drag(QWidget* widget, QPoint from, QPoint to, Qt::KeyboardModifiers mods) {
    pressAt(widget, from, mods);
    constexpr int steps = 4;
    for (int i = 1; i <= steps; ++i)
        dragTo(widget, from + (to - from) * i / steps, mods);
    releaseAt(widget, to, mods);
}

void pressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers mods) {
    QTest::keyClick(widget, key, mods);
}

void typeText(QWidget* widget, const QString& text) {
    QTest::keyClicks(widget, text);
}

bool dropOn(QWidget* control, const QMimeData& mime) {
    const QPoint pos = control->rect().center();
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(control, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(control, &drop);
    return drop.isAccepted();
}

bool dropFiles(QWidget* control, const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    QMimeData mime;
    mime.setUrls(urls);
    auto* area = qobject_cast<QAbstractScrollArea*>(control);
    return dropOn(area ? area->viewport() : control, mime);
}

QString savePicture(QWidget* widget, const QString& name) {
    const QString dir = QStringLiteral(KAVRIN32_TEST_PICTURES_DIR);
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    EXPECT_TRUE(widget->grab().save(path)) << path.toStdString();
    return path;
}
