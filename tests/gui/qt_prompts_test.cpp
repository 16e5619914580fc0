#include "gui/qt_prompts.h"

#include "gui/splash.h"
#include "support/gui_test.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

// The splash stays above every window: a question asked while it is up (the first-run
// questions, a settings file that cannot be read) must not be hidden behind it.
TEST(QtPrompts, ABoxShownWhileTheSplashIsUpClosesTheSplashFirst) {
    QPointer<TfrmSplash> splash = new TfrmSplash;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->showAndDraw();
    ASSERT_TRUE(splash->isVisible());

    bool splashGoneWhileAsking = false;
    QTimer::singleShot(0, [&] {
        splashGoneWhileAsking = !splash || !splash->isVisible();
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Yes)->click();
    });
    QtPrompts prompts;
    EXPECT_EQ(prompts.confirm("Would you like to set up a newsgroup server now?"),
              PromptAnswer::Yes);
    EXPECT_TRUE(splashGoneWhileAsking);
    delete splash;
}
