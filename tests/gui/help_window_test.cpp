#include "gui/help_window.h"

#include "support/gui_test.h"
#include "widgets/speed_button.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

namespace {

QString bookFile(const QString& name) {
    QFile file(QDir::cleanPath(QStringLiteral(":/help/") + name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QListWidget* contents(QWidget* window) {
    return findControl<QListWidget>(window, QStringLiteral("lstContents"));
}

QString pageOf(THelpWindow* window) {
    return window->currentPage().path().section(QLatin1Char('/'), -1);
}

// A click on a topic of the contents as the window system delivers it, so a window that a
// modal dialog blocks does not get it.
void clickTopic(QWidget* window, const QString& title) {
    QListWidget* list = contents(window);
    const auto items = list->findItems(title, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << title.toStdString();
    const QPoint at = list->viewport()->mapTo(window, list->visualItemRect(items.front()).center());
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
}

class HelpWindow : public testing::Test {
protected:
    // The window serves the whole run; every test starts without one.
    void TearDown() override { delete currentHelpWindow(); }

    THelpWindow* shown() {
        THelpWindow* window = currentHelpWindow();
        EXPECT_NE(window, nullptr);
        if (window) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        }
        return window;
    }
    TMySpeedButton* button(const char* name) {
        return findControl<TMySpeedButton>(currentHelpWindow(), QString::fromLatin1(name));
    }
};

}  // namespace

// The book is read by people following links: a link to a page, anchor or picture that is not
// there leaves them on an empty page or an empty frame.
TEST(HelpBook, EveryLinkAndPictureLeadsToAFileAndAnchorThatExist) {
    const QStringList pages = QDir(QStringLiteral(":/help")).entryList({QStringLiteral("*.html")});
    ASSERT_FALSE(pages.isEmpty());
    static const QRegularExpression href(QStringLiteral("(?:href|src)=\"([^\"]*)\""));
    for (const QString& page : pages) {
        const QString html = bookFile(page);
        EXPECT_TRUE(html.contains(QStringLiteral("<title>"))) << page.toStdString();
        for (auto it = href.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1);
            if (target.contains(QLatin1Char(':')))  // https:, mailto:
                continue;
            const QString file = target.section(QLatin1Char('#'), 0, 0);
            const QString anchor = target.section(QLatin1Char('#'), 1);
            const QString linked = bookFile(file.isEmpty() ? page : file);
            EXPECT_FALSE(linked.isEmpty()) << page.toStdString() << " -> " << target.toStdString();
            if (!anchor.isEmpty()) {
                EXPECT_TRUE(linked.contains(QStringLiteral("id=\"%1\"").arg(anchor)))
                    << page.toStdString() << " -> " << target.toStdString();
            }
        }
    }
}

TEST(HelpBook, EveryPageTheFormsNameExistsAndTheContentsListThemAll) {
    QSet<QString> named;
    for (const QString& page : HelpPage::all()) {
        EXPECT_FALSE(bookFile(page + QStringLiteral(".html")).isEmpty()) << page.toStdString();
        named.insert(page + QStringLiteral(".html"));
    }
    // Every page but the contents itself is one of its topics, and no page is left out.
    const QStringList files = QDir(QStringLiteral(":/help")).entryList({QStringLiteral("*.html")});
    EXPECT_EQ(QSet<QString>(files.begin(), files.end()), named);
    THelpWindow window;
    QStringList topics;
    for (int row = 0; row < contents(&window)->count(); ++row)
        topics << contents(&window)->item(row)->data(Qt::UserRole).toString();
    named.remove(QStringLiteral("index.html"));
    EXPECT_EQ(QSet<QString>(topics.begin(), topics.end()), named);
}

TEST_F(HelpWindow, OpensAtTheNamedPageWithItsTitleAndTopic) {
    struct Case {
        QString page;
        const char* file;
        const char* title;
        const char* topic;  // selected in the contents; empty for none
    };
    const Case cases[] = {
        {QString(), "index.html", "Kavrin/32 Help - Contents", ""},
        {HelpPage::ServerProperties, "server-properties.html",
         "Kavrin/32 Help - Newsgroup server properties", "Newsgroup server properties"},
        {QStringLiteral("tls.html"), "tls.html",
         "Kavrin/32 Help - Secure connections: TLS and STARTTLS",
         "Secure connections: TLS and STARTTLS"},
        {QStringLiteral("no-such-page"), "index.html", "Kavrin/32 Help - Contents", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        showHelp(c.page);
        THelpWindow* window = shown();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(pageOf(window), QString::fromLatin1(c.file));
        EXPECT_EQ(window->windowTitle(), QString::fromLatin1(c.title));
        QListWidgetItem* current = contents(window)->currentItem();
        EXPECT_EQ(current ? current->text() : QString(), QString::fromLatin1(c.topic));
    }
}

TEST_F(HelpWindow, BackForwardAndContentsRetraceTheWay) {
    showHelp();
    THelpWindow* window = shown();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(button("btnBack")->isEnabled());
    clickTopic(window, QStringLiteral("Newsgroup servers"));
    clickTopic(window, QStringLiteral("Preferences"));
    EXPECT_EQ(pageOf(window), QStringLiteral("preferences.html"));

    clickAt(button("btnBack"), {5, 5});
    EXPECT_EQ(pageOf(window), QStringLiteral("server-list.html"));
    EXPECT_TRUE(button("btnForward")->isEnabled());
    window->activateWindow();  // shortcuts belong to the active window
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    pressKey(window, Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(pageOf(window), QStringLiteral("index.html"));
    EXPECT_FALSE(button("btnBack")->isEnabled());
    pressKey(window, Qt::Key_Right, Qt::AltModifier);
    clickAt(button("btnForward"), {5, 5});
    EXPECT_EQ(pageOf(window), QStringLiteral("preferences.html"));
    EXPECT_FALSE(button("btnForward")->isEnabled());

    clickAt(button("btnContents"), {5, 5});
    EXPECT_EQ(pageOf(window), QStringLiteral("index.html"));
    EXPECT_EQ(contents(window)->currentItem(), nullptr);
}

// A dialog shown with exec() blocks every window but its own children: the help its F1 opens
// must still take clicks, and must outlive the dialog.
TEST_F(HelpWindow, WorksBesideAModalDialogAndOutlivesIt) {
    {
        QDialog dialog;
        dialog.setModal(true);
        installHelpKey(&dialog, HelpPage::Search);
        showAndWait(&dialog);
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        pressKey(&dialog, Qt::Key_F1);
        THelpWindow* window = shown();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(pageOf(window), QStringLiteral("search.html"));
        clickTopic(window, QStringLiteral("Choosing newsgroups"));
        EXPECT_EQ(pageOf(window), QStringLiteral("newsgroups.html"));
        dialog.hide();
    }
    THelpWindow* window = currentHelpWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->parentWidget(), nullptr);
    clickTopic(window, QStringLiteral("Preferences"));
    EXPECT_EQ(pageOf(window), QStringLiteral("preferences.html"));
}
